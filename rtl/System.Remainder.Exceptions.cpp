#include "System.Remainder.Exceptions.h"

#include <cstdio>
#include <cstdlib>

#include "System.Remainder.Encoding.h"
#include "System.Remainder.Text.h"

namespace System {

namespace {

std::string Utf8Text(const std::u16string& text) {
    const TBytes bytes = GetUtf8Encoding()->GetBytes(text);
    return std::string(bytes.begin(), bytes.end());
}

std::u16string Utf16Text(std::string_view text) {
    return GetUtf8Encoding()->GetUString(reinterpret_cast<const uint8_t*>(text.data()), ptrdiff_t(text.size()));
}

} // namespace

Exception::Exception(std::u16string message, std::source_location where)
    : Message(std::move(message)),
      UnitFile(where.file_name()),
      SourceLine(where.line()),
      RaisingRoutine(where.function_name()),
      what_(Utf8Text(Message)) {}

std::u16string Quoted(const std::u16string& text) {
    return u"\"" + text + u"\"";
}

std::u16string OsErrorMessage(uint32_t osCode, const std::u16string& systemText) {
    return u"OsError. " + Int64ToStr(osCode) + u". " + systemText;
}

EOsError::EOsError(uint32_t osCode, std::u16string systemText, std::source_location where)
    : Exception(OsErrorMessage(osCode, systemText), where),
      OsCode(osCode),
      SystemText(std::move(systemText)) {
    ErrorCode = kErrorCode;
}

EAbstractError::EAbstractError(std::u16string className, std::u16string methodName,
                               std::source_location where)
    : Exception(u"O método " + Quoted(methodName) + u" da classe " + Quoted(className) +
                    u" não foi implementado",
                where),
      ClassName(std::move(className)),
      MethodName(std::move(methodName)) {
    ErrorCode = 0x1000005;
}

EZlibError::EZlibError(const std::u16string& text, int32_t zlibCode, std::source_location where)
    : Exception(u"zlib: " + text + u" (codigo " + Int64ToStr(zlibCode) + u")", where),
      ZlibCode(zlibCode) {
    ErrorCode = 0x1000097;
}

EOutOfMemory::EOutOfMemory(std::source_location where) : Exception(u"Sem memória", where) {
    ErrorCode = 0x1000004;
}

EDivByZero::EDivByZero(std::source_location where) : Exception(Utf16Text(kDivByZeroText), where) {
    ErrorCode = 0x1000007;
}

std::string UnhandledExceptionText(const std::exception& e) {
    return kUnhandledExceptionPrefix + std::string(e.what()) + "\n";
}

namespace {

[[noreturn]] void OnUnhandledException() {
    std::string text = kUnhandledExceptionPrefix + std::string("\n");
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            text = UnhandledExceptionText(e);
        } catch (...) {
        }
    }
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    std::_Exit(1);
}

// An exception that nothing catches ends the program with its message and
// exit code 1 instead of an abort.
[[maybe_unused]] const auto previousTerminate = std::set_terminate(OnUnhandledException);

} // namespace

} // namespace System
