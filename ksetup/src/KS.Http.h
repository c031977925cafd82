// One URL at a time into memory over WinHTTP: a GET on the calling thread,
// one session for the client's life and one connection kept open while the
// host, port and scheme stay the same. Network and server failures come
// back as false with a Portuguese text, so that callers can try again.
// A client belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "System.Remainder.Object.h"
#include "System.Remainder.Text.h"

namespace KS {

// Called after every read with the bytes received so far; setting cancel
// (false on entry) ends the download.
using THttpProgressProc = void (*)(void* context, int64_t received, bool& cancel);

struct THttpProgress {
    THttpProgressProc Code = nullptr;
    void* Context = nullptr;
};

// An http or https URL taken apart the way the client connects to it.
struct THttpUrl {
    std::u16string Host;
    uint16_t Port = 0;
    bool Secure = false;
    std::u16string Path; // from the first "/" of the rest, query included
};

// False when the URL begins with neither "http://" nor "https://" (any case).
bool ParseHttpUrl(const std::u16string& url, THttpUrl& parts);

// Owns one WinHTTP handle (session, connection or request).
class TInternetHandle {
public:
    TInternetHandle() = default;
    explicit TInternetHandle(void* handle) : handle_(handle) {}
    TInternetHandle(const TInternetHandle&) = delete;
    TInternetHandle& operator=(const TInternetHandle&) = delete;
    ~TInternetHandle() { Close(); }

    void Reset(void* handle) { Close(); handle_ = handle; }
    void Close();
    void* Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
};

class THttpClient : public System::TObject {
public:
    // Without an expectation of its own a caller still gets no body larger
    // than the biggest catalogue the installer inflates.
    static constexpr int64_t kMaxBody = 536870912;

    // Declared before the connection, so that the connection closes first.
    TInternetHandle Session;
    TInternetHandle Connection;
    std::u16string Host;
    uint16_t Port = 0;
    bool Secure = false;
    std::u16string LastError;
    int32_t Status = 0;

    // Makes Connection a connection to that host, port and scheme, reusing
    // the open one when they match (host compared ignoring ASCII case).
    bool Connect(const std::u16string& host, uint16_t port, bool secure);

    // True when the answer had status 200 and its whole body, at most
    // maxBody bytes, is in body; otherwise body is empty and LastError says
    // why (Status holds the status when an answer came).
    bool Get(const std::u16string& url, System::TBytes& body, THttpProgress progress = {},
             int64_t maxBody = kMaxBody);

private:
    void CloseConnection();
    bool ReadBody(TInternetHandle& request, const std::u16string& url, System::TBytes& body,
                  THttpProgress progress, int64_t maxBody);
};

} // namespace KS
