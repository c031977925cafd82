#include "KS.Engine.h"

#include <windows.h>

#include <new>
#include <string_view>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

constexpr char16_t ProductKey[] = u"Software\\Ostrel\\Dax";
constexpr char16_t AppPathsKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Dax.exe";
constexpr char16_t BinExeSuffix[] = u"\\bin\\dax.exe";

// The installation folder that an App Paths entry for the program names: the
// folder above "Bin" when the program sits there, else the program's folder.
std::u16string FolderOfProgramPath(const std::u16string& program) {
    const std::u16string suffix = BinExeSuffix;
    const std::u16string lower = AsciiLowerCase(program);
    if (lower.size() >= suffix.size() && lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0)
        return program.substr(0, program.size() - suffix.size());
    return DirOfPath(program);
}

} // namespace

TSetupEngine::~TSetupEngine() {
    if (PackageFile) PackageFile->Close();
}

void TSetupEngine::Init() {
    Context = System::MakeRef<TSetupContext>();
    Context->Reset();
    Script = System::MakeRef<TScript>();
    PackageFile = System::MakeRef<TInFile>();
    Journal = System::MakeRef<TJournal>();
    SelectedTasks.clear();
    SilentLevel = 0;
    LastError.clear();
    PreviousInstall.Found = false;
}

bool TSetupEngine::LoadScript(const std::u16string& text) {
    // The one script this program loads is its own resource.
    EmbeddedScript = true;
    if (!Script->Parse(text)) {
        Error(u"roteiro inválido: " + Script->ErrorText);
        return false;
    }
    Context->ApplySetup(Script);
    SelectDefaultTasks();
    FindPreviousInstall();
    return true;
}

void TSetupEngine::FindPreviousInstall() {
    PreviousInstall = {};
    const int32_t root = Context->AllUsers ? 2 : 1;
    const bool view32 = !Context->Is64Bit;
    const std::u16string uninstallKey = UninstallKeyName(*Context);
    std::u16string folder;
    std::u16string text;
    if (ReadRegString(root, uninstallKey, u"InstallLocation", view32, text)) folder = StripTrailingBackslashes(text);
    if (folder.empty() && ReadRegString(root, ProductKey, u"InstallDir", view32, text))
        folder = StripTrailingBackslashes(text);
    if (folder.empty() && ReadRegString(root, AppPathsKey, u"", view32, text)) folder = FolderOfProgramPath(text);
    if (folder.empty()) {
        // An empty default folder is no folder: its "Bin\Dax.exe" would be
        // looked up in the current folder.
        const std::u16string candidate = StripTrailingBackslashes(Context->AppDir);
        if (!candidate.empty() && (IsExistingFile(CombinePath(candidate, u"Bin\\Dax.exe")) ||
                                   IsExistingFile(CombinePath(candidate, u"Dax.exe"))))
            folder = candidate;
    }
    if (folder.empty()) return;
    PreviousInstall.Found = true;
    PreviousInstall.Dir = folder;
    if (ReadRegString(root, uninstallKey, u"DisplayVersion", view32, text)) PreviousInstall.Version = text;
    if (Context->SetupBool(u"UsePreviousAppDir", true) && !CommandLineDir) Context->SetAppDir(folder);
}

void TSetupEngine::WriteJournalMeta() {
    Journal->SetMeta(u"AppId", Context->AppIdText());
    Journal->SetMeta(u"AppName", Context->SetupValue(u"AppName", u""));
    Journal->SetMeta(u"AppVersion", Context->SetupValue(u"AppVersion", u""));
    Journal->SetMeta(u"AppDir", Context->AppDir);
    Journal->SetMeta(u"Admin", Context->AllUsers ? u"1" : u"0");
    Journal->SetMeta(u"X64", Context->Is64Bit ? u"1" : u"0");
    if (Context->SetupBool(u"ChangesAssociations", false)) Journal->SetMeta(u"ChangesAssociations", u"1");
}

void TSetupEngine::Log(const std::u16string& text) {
    if (LogPath.empty()) return;
    TOutFile file;
    if (!file.Open(LogPath, TOpenDisposition::OpenAlways)) return;
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(reinterpret_cast<HANDLE>(file.Handle), LARGE_INTEGER{}, &end, FILE_END)) {
        SetLastOsError(GetLastError());
        return;
    }
    file.Position = end.QuadPart;
    file.WriteText(LocalDateStamp() + u" " + text + u"\r\n");
}

void TSetupEngine::Error(const std::u16string& text) {
    LastError = text;
    Log(u"ERRO: " + text);
}

bool TSetupEngine::PrepareProvider(const System::TRef<TSetupObserver>& observer) {
    if (!Provider) return true;
    Observer = observer;
    try {
        if (Provider->Prepare(*this, *observer)) return true;
        Error(Provider->LastError());
    } catch (...) {
        Error(CaughtExceptionText());
    }
    return false;
}

std::u16string TSetupEngine::ProviderSummary() {
    return Provider ? Provider->Summary() : std::u16string();
}

std::u16string CaughtExceptionText() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return u"memória insuficiente";
    } catch (const System::Exception& e) {
        return u"erro inesperado: " + e.Message;
    } catch (const std::exception& e) {
        const std::string_view what = e.what();
        return u"erro inesperado: " + DecodeUtf8(reinterpret_cast<const uint8_t*>(what.data()), ptrdiff_t(what.size()));
    } catch (...) {
        return u"erro inesperado";
    }
}

void TSetupEngine::DownloadProgress(void* engine, int64_t bytes, uint8_t& cancel) {
    TSetupEngine& self = *static_cast<TSetupEngine*>(engine);
    self.DownloadDone += bytes;
    self.Observer->Progress(self.DownloadDone, self.DownloadTotal);
    if (self.Observer->Cancelled()) cancel = 1;
}

} // namespace KS
