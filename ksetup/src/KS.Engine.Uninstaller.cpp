// The uninstaller: its copy in the installation folder, its entry in the
// system's list of installed programs, and the journal records of an
// earlier installation in the same folder, so that the uninstall removes
// those too.
#include "KS.Engine.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

constexpr int64_t CopyPiece = 1048576;

} // namespace

bool TSetupEngine::WriteUninstaller() {
    const std::u16string& target = Context->UninstallExe;
    if (EmbeddedScript) {
        if (CopyFileW(System::WStr(GetOwnExePath()), System::WStr(target), FALSE)) return true;
        SetLastOsError(GetLastError());
        Error(u"não consegui criar o desinstalador: " + OsErrorText(LastOsError()));
        return false;
    }
    // Without a script of its own the uninstaller is the executable part in
    // front of the package.
    TOutFile output;
    if (!output.Open(target)) {
        Error(u"não consegui criar o desinstalador: " + OsErrorText(LastOsError()));
        return false;
    }
    std::vector<uint8_t> buffer;
    for (int64_t copied = 0; copied < StubSize;) {
        const int64_t piece = std::min(CopyPiece, StubSize - copied);
        buffer.resize(static_cast<size_t>(piece));
        if (!PackageFile->ReadAt(static_cast<uint64_t>(copied), buffer.data(), piece) ||
            !output.Write(buffer.data(), piece)) {
            Error(u"não consegui copiar o desinstalador: " + OsErrorText(LastOsError()));
            return false;
        }
        copied += piece;
    }
    return true;
}

bool TSetupEngine::RegisterUninstaller() {
    if (!Context->SetupBool(u"Uninstallable", true)) return true;
    Observer->Status(u"Registrando o desinstalador...");
    if (!WriteUninstaller()) return false;

    const std::u16string key = UninstallKeyName(*Context);
    const int32_t root = Context->AllUsers ? 2 : 1;
    const bool view32 = !Context->Is64Bit;
    if (Context->SetupBool(u"CreateUninstallRegKey", true)) {
        const bool keyExisted = RegKeyExists(root, key, view32);
        const auto setup = [this](const char16_t* name) { return Context->SetupValue(name, u""); };
        std::u16string displayName = setup(u"UninstallDisplayName");
        if (displayName.empty()) displayName = setup(u"AppName") + u" versão " + setup(u"AppVersion");
        std::u16string displayIcon = Context->ExpandConstants(setup(u"UninstallDisplayIcon"));
        if (displayIcon.empty()) displayIcon = Context->UninstallExe;
        const std::u16string quotedExe = u"\"" + Context->UninstallExe + u"\"";
        const std::pair<const char16_t*, std::u16string> texts[] = {
            {u"DisplayName", displayName},
            {u"DisplayVersion", setup(u"AppVersion")},
            {u"Publisher", setup(u"AppPublisher")},
            {u"InstallLocation", AddTrailingBackslash(Context->AppDir)},
            {u"UninstallString", quotedExe},
            {u"QuietUninstallString", quotedExe + u" /SILENT"},
            {u"DisplayIcon", displayIcon},
            {u"InstallDate", ReplaceAll(LocalDateStamp(), u"-", u"")},
        };
        for (const auto& [name, value] : texts) WriteRegString(root, key, name, value, false, view32);
        // The links are written only when the script has them.
        const std::pair<const char16_t*, const char16_t*> links[] = {
            {u"URLInfoAbout", u"AppPublisherURL"},
            {u"HelpLink", u"AppSupportURL"},
            {u"URLUpdateInfo", u"AppUpdatesURL"},
            {u"Comments", u"AppComments"},
        };
        for (const auto& [name, source] : links) {
            const std::u16string value = setup(source);
            if (!value.empty()) WriteRegString(root, key, name, value, false, view32);
        }
        WriteRegDword(root, key, u"EstimatedSize", static_cast<uint32_t>(FilesTotalSize() / 1024), view32);
        WriteRegDword(root, key, u"NoModify", 1, view32);
        WriteRegDword(root, key, u"NoRepair", 1, view32);
        Journal->AddRegKey(static_cast<uint32_t>(root), view32, key, keyExisted);
    }

    auto previous = System::MakeRef<TJournal>();
    if (previous->LoadFromFile(CombinePath(Context->AppDir, u"unins000.dat"))) Journal->MergeRecords(*previous);
    WriteJournalMeta();
    return true;
}

} // namespace KS
