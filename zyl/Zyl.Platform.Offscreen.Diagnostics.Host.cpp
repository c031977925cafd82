// The diagnostics' writers on the host: standard output, and standard error
// in place of a debugger.
#include <unistd.h>

#include "System.Remainder.Encoding.h"
#include "Zyl.Platform.Offscreen.Diagnostics.h"

namespace Zyl {

namespace {

void WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written <= 0) return;
        data += written;
        size -= size_t(written);
    }
}

} // namespace

void WriteStandardOutput(const std::string& Text) {
    WriteAll(STDOUT_FILENO, reinterpret_cast<const uint8_t*>(Text.data()), Text.size());
}

void WriteDebugOutput(const std::u16string& Text) {
    const System::TBytes bytes = System::GetUtf8Encoding()->GetBytes(Text + u"\n");
    WriteAll(STDERR_FILENO, bytes.data(), bytes.size());
}

} // namespace Zyl
