// The class library's exception classes. Thrown by value, caught by reference.
#pragma once

#include <cstdint>
#include <exception>
#include <source_location>
#include <string>

namespace System {

class Exception : public std::exception {
public:
    explicit Exception(std::u16string message,
                       std::source_location where = std::source_location::current());

    const char* what() const noexcept override { return what_.c_str(); }

    std::u16string Message;
    // Where the raise happened: unit file, source line and raising routine.
    std::string UnitFile;
    uint32_t SourceLine = 0;
    std::string RaisingRoutine;
    // Set by the runtime for its own classes; 0 for the others.
    uint32_t ErrorCode = 0;

private:
    std::string what_;
};

class EConvertError : public Exception { public: using Exception::Exception; };
class EListError : public Exception { public: using Exception::Exception; };
class EStreamError : public Exception { public: using Exception::Exception; };
class EReadError : public EStreamError { public: using EStreamError::EStreamError; };
class EWriteError : public EStreamError { public: using EStreamError::EStreamError; };
class EFOpenError : public EStreamError { public: using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { public: using EStreamError::EStreamError; };
class EResNotFound : public Exception { public: using Exception::Exception; };
class EComponentError : public Exception { public: using Exception::Exception; };
class EHashException : public Exception { public: using Exception::Exception; };

// A Windows call that failed: its code and the system's text for it.
class EOsError : public Exception {
public:
    static constexpr uint32_t kErrorCode = 0x100001A;

    // Fills the message from the system's text for the code (Windows only).
    explicit EOsError(uint32_t osCode,
                      std::source_location where = std::source_location::current());
    EOsError(uint32_t osCode, std::u16string systemText,
             std::source_location where = std::source_location::current());

    uint32_t OsCode;
    std::u16string SystemText;
    // The library or function whose binding failed (codes 126 and 127).
    std::u16string Name;
};

// "OsError. " + code in decimal + ". " + system text.
std::u16string OsErrorMessage(uint32_t osCode, const std::u16string& systemText);

class EAbstractError : public Exception {
public:
    EAbstractError(std::u16string className, std::u16string methodName,
                   std::source_location where = std::source_location::current());
    std::u16string ClassName;
    std::u16string MethodName;
};

class EZlibError : public Exception {
public:
    EZlibError(const std::u16string& text, int32_t zlibCode,
               std::source_location where = std::source_location::current());
    int32_t ZlibCode;
};

class EOutOfMemory : public Exception {
public:
    explicit EOutOfMemory(std::source_location where = std::source_location::current());
};

// EDivByZero's message in UTF-8; the integer division fault has the same name.
inline constexpr char kDivByZeroText[] = "Divisão por zero";

class EDivByZero : public Exception {
public:
    explicit EDivByZero(std::source_location where = std::source_location::current());
};

// The text quoted with double quote characters, as the messages show names.
std::u16string Quoted(const std::u16string& text);

// How the line of an exception that nothing caught begins, also for a
// hardware fault.
inline constexpr char kUnhandledExceptionPrefix[] = "Excecao nao tratada: ";

// What the program prints for an exception that nothing caught.
std::string UnhandledExceptionText(const std::exception& e);

} // namespace System
