#include "KS.Http.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>

#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

using System::Int64ToStr;
using System::TLazyProc;
using System::WStr;

namespace {

TLazyProc<decltype(&::WinHttpOpen)> pWinHttpOpen(u"winhttp.dll", "WinHttpOpen");
TLazyProc<decltype(&::WinHttpSetTimeouts)> pWinHttpSetTimeouts(u"winhttp.dll", "WinHttpSetTimeouts");
TLazyProc<decltype(&::WinHttpConnect)> pWinHttpConnect(u"winhttp.dll", "WinHttpConnect");
TLazyProc<decltype(&::WinHttpOpenRequest)> pWinHttpOpenRequest(u"winhttp.dll", "WinHttpOpenRequest");
TLazyProc<decltype(&::WinHttpSendRequest)> pWinHttpSendRequest(u"winhttp.dll", "WinHttpSendRequest");
TLazyProc<decltype(&::WinHttpReceiveResponse)> pWinHttpReceiveResponse(u"winhttp.dll", "WinHttpReceiveResponse");
TLazyProc<decltype(&::WinHttpQueryHeaders)> pWinHttpQueryHeaders(u"winhttp.dll", "WinHttpQueryHeaders");
TLazyProc<decltype(&::WinHttpReadData)> pWinHttpReadData(u"winhttp.dll", "WinHttpReadData");
TLazyProc<decltype(&::WinHttpCloseHandle)> pWinHttpCloseHandle(u"winhttp.dll", "WinHttpCloseHandle");

constexpr int64_t kGrowthRoom = 65536;    // a body of unknown length grows when less is free
constexpr int64_t kMaxRead = 1048576;     // bytes asked of one read call

std::u16string ErrorCode(DWORD code) {
    return u" (erro " + Int64ToStr(code) + u")";
}

// A numeric header of the answer; false when the server did not send it.
bool QueryNumber(void* request, DWORD query, DWORD& value) {
    DWORD size = sizeof(value);
    return pWinHttpQueryHeaders()(request, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                                  &value, &size, WINHTTP_NO_HEADER_INDEX);
}

} // namespace

bool ParseHttpUrl(const std::u16string& url, THttpUrl& parts) {
    std::u16string rest;
    if (HasPrefixIgnoreCase(url, u"https://")) {
        rest = url.substr(8);
        parts.Port = INTERNET_DEFAULT_HTTPS_PORT;
        parts.Secure = true;
    } else if (HasPrefixIgnoreCase(url, u"http://")) {
        rest = url.substr(7);
        parts.Port = INTERNET_DEFAULT_HTTP_PORT;
        parts.Secure = false;
    } else {
        return false;
    }
    const size_t slash = rest.find(u'/');
    parts.Host = rest.substr(0, slash);
    parts.Path = slash == std::u16string::npos ? u"/" : rest.substr(slash);
    const size_t colon = parts.Host.find(u':');
    if (colon != std::u16string::npos) {
        int64_t port = 0;
        if (TryParseInt64(parts.Host.substr(colon + 1), port)) parts.Port = uint16_t(port);
        parts.Host.resize(colon);
    }
    return true;
}

void TInternetHandle::Close() {
    if (handle_) pWinHttpCloseHandle()(std::exchange(handle_, nullptr));
}

void THttpClient::CloseConnection() {
    Connection.Close();
    Host.clear();
}

bool THttpClient::Connect(const std::u16string& host, uint16_t port, bool secure) {
    if (!Session) {
        void* session = pWinHttpOpen()(L"OstrelSetup/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        if (!session) {
            LastError = u"WinHttpOpen falhou" + ErrorCode(GetLastError());
            return false;
        }
        Session.Reset(session);
        pWinHttpSetTimeouts()(session, 15000, 15000, 30000, 60000);
    }
    if (Connection && EqualsIgnoreCase(Host, host) && Port == port && Secure == secure) return true;
    CloseConnection();
    void* connection = pWinHttpConnect()(Session.Get(), WStr(host), port, 0);
    if (!connection) {
        LastError = u"não consegui conectar a " + host + ErrorCode(GetLastError());
        return false;
    }
    Connection.Reset(connection);
    Host = host;
    Port = port;
    Secure = secure;
    return true;
}

bool THttpClient::Get(const std::u16string& url, System::TBytes& body, THttpProgress progress, int64_t maxBody) {
    LastError.clear();
    Status = 0;
    body.clear();
    THttpUrl parts;
    if (!ParseHttpUrl(url, parts)) {
        LastError = u"URL inválida: " + url;
        return false;
    }
    if (!Connect(parts.Host, parts.Port, parts.Secure)) return false;

    TInternetHandle request(pWinHttpOpenRequest()(Connection.Get(), L"GET", WStr(parts.Path), nullptr,
                                                  WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                  parts.Secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) {
        LastError = u"WinHttpOpenRequest falhou" + ErrorCode(GetLastError());
        CloseConnection();
        return false;
    }
    if (!pWinHttpSendRequest()(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !pWinHttpReceiveResponse()(request.Get(), nullptr)) {
        LastError = u"sem resposta de " + parts.Host + ErrorCode(GetLastError());
        request.Close();
        CloseConnection();
        return false;
    }
    DWORD status = 0;
    if (!QueryNumber(request.Get(), WINHTTP_QUERY_STATUS_CODE, status)) status = 0;
    Status = int32_t(status);
    if (status != HTTP_STATUS_OK) {
        LastError = u"HTTP " + Int64ToStr(status) + u" em " + url;
        return false;
    }
    if (ReadBody(request, url, body, progress, maxBody)) return true;
    body.clear();
    return false;
}

// Reads the whole body into one array: one byte larger than a
// Content-Length says (the last read, which returns nothing, is what lets
// WinHTTP keep the connection), otherwise starting at 64 KiB and doubling;
// never past maxBody.
bool THttpClient::ReadBody(TInternetHandle& request, const std::u16string& url, System::TBytes& body,
                           THttpProgress progress, int64_t maxBody) {
    const auto fail = [&](std::u16string text, bool closeConnection) {
        LastError = std::move(text);
        if (closeConnection) {
            request.Close();
            CloseConnection();
        }
        return false;
    };
    const std::u16string tooLarge = u"resposta maior que o esperado (" + Int64ToStr(maxBody) + u" bytes) em " + url;
    DWORD length = 0;
    const bool known = QueryNumber(request.Get(), WINHTTP_QUERY_CONTENT_LENGTH, length);
    if (known && int64_t(length) > maxBody) return fail(tooLarge, true);

    // One byte past the limit tells a body that is too large from one that fits.
    int64_t capacity = known ? int64_t(length) + 1 : std::min(kGrowthRoom, maxBody + 1);
    body.resize(size_t(capacity));
    int64_t received = 0;
    for (;;) {
        if (!known && capacity - received < kGrowthRoom && capacity <= maxBody) {
            capacity = std::min(capacity * 2, maxBody + 1);
            body.resize(size_t(capacity));
        }
        DWORD read = 0;
        if (!pWinHttpReadData()(request.Get(), body.data() + received,
                                DWORD(std::min(capacity - received, kMaxRead)), &read))
            return fail(u"conexão interrompida durante o download" + ErrorCode(GetLastError()), true);
        if (read == 0) break;
        received += read;
        if (received > maxBody) return fail(tooLarge, true);
        if (progress.Code) {
            bool cancel = false;
            progress.Code(progress.Context, received, cancel);
            if (cancel) return fail(u"download cancelado", false);
        }
    }
    // A server that hangs up early would otherwise pass a cut body as whole.
    if (known && received < int64_t(length))
        return fail(u"conexão interrompida durante o download" + ErrorCode(ERROR_WINHTTP_CONNECTION_ERROR), true);
    body.resize(size_t(received));
    return true;
}

} // namespace KS
