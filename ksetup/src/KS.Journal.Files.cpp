// The journal's file: its text in UTF-8, replaced whole on every save.
#include "KS.Journal.h"

#include <windows.h>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

bool TJournal::SaveToFile(const std::u16string& path) const {
    const System::TBytes bytes = StringToUtf8Bytes(ToText());
    const std::u16string temporary = StagedPath(path);
    if (!WriteFileBytes(temporary, bytes.data(), static_cast<int64_t>(bytes.size()))) {
        const uint32_t reason = LastOsError();
        DeleteFileW(System::WStr(temporary));
        SetLastOsError(reason);
        return false;
    }
    if (!MoveFileExW(System::WStr(temporary), System::WStr(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const uint32_t reason = GetLastError();
        DeleteFileW(System::WStr(temporary));
        SetLastOsError(reason);
        return false;
    }
    return true;
}

bool TJournal::LoadFromFile(const std::u16string& path) {
    Clear();
    std::u16string text;
    if (!ReadTextFile(path, text)) return false;
    return ParseText(text);
}

} // namespace KS
