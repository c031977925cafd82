#include "KS.Context.h"

#include "KS.Sys.Files.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Text.h"

namespace KS {

void TSetupContext::Reset() {
    Script = nullptr;
    AllUsers = true;
    Is64Bit = false;
    AppDir.clear();
    GroupName.clear();
    SetupExe = GetOwnExePath();
    SourceDir = DirOfPath(SetupExe);
    UninstallExe.clear();
}

std::u16string TSetupContext::SetupValue(const std::u16string& key, const std::u16string& defaultValue) const {
    if (!Script) return defaultValue;
    return Script->SetupParams()->GetValue(key, defaultValue);
}

bool TSetupContext::SetupBool(const std::u16string& key, bool defaultValue) const {
    if (!Script) return defaultValue;
    return Script->SetupParams()->GetBool(key, defaultValue);
}

void TSetupContext::ApplySetup(const System::TRef<TScript>& script) {
    Script = script;
    AllUsers = AsciiLowerCase(TrimText(SetupValue(u"PrivilegesRequired", u"admin"))) != u"lowest";
    const std::u16string architectures = AsciiLowerCase(TrimText(SetupValue(u"ArchitecturesInstallIn64BitMode", u"")));
    Is64Bit = architectures == u"x64" || architectures == u"x64compatible" || architectures == u"x64os";
    GroupName = ExpandConstants(SetupValue(u"DefaultGroupName", SetupValue(u"AppName", u"")));
    SetAppDir(ExpandConstants(SetupValue(u"DefaultDirName", u"")));
}

void TSetupContext::SetAppDir(const std::u16string& folder) {
    AppDir = StripTrailingBackslashes(NormalizeSlashes(folder));
    UninstallExe = CombinePath(AppDir, u"unins000.exe");
}

int32_t TSetupContext::RegistryRoot(const std::u16string& rootText) const {
    const std::u16string name = AsciiUpperCase(TrimText(rootText));
    if (name == u"HKA") return AllUsers ? 2 : 1;
    return RegRootIndex(name);
}

std::u16string TSetupContext::AppIdText() const {
    std::u16string id = SetupValue(u"AppId", u"");
    if (id.empty()) id = SetupValue(u"AppName", u"");
    return ReplaceAll(id, u"{{", u"{");
}

std::u16string TSetupContext::ExpandConstants(const std::u16string& text) const {
    if (text.find(u'{') == std::u16string::npos) return text;
    std::u16string result;
    result.reserve(text.size() + 64);
    size_t position = 0;
    while (position < text.size()) {
        const size_t open = text.find(u'{', position);
        if (open == std::u16string::npos) {
            result.append(text, position);
            break;
        }
        result.append(text, position, open - position);
        if (open + 1 < text.size() && text[open + 1] == u'{') {
            result += u'{';
            position = open + 2;
            continue;
        }
        const size_t close = text.find(u'}', open + 1);
        if (close == std::u16string::npos) {
            result.append(text, open);
            break;
        }
        const std::u16string name = text.substr(open + 1, close - open - 1);
        std::u16string value;
        if (ResolveConstant(name, value))
            result += value;
        else
            result.append(text, open, close - open + 1);
        position = close + 1;
    }
    return result;
}

std::u16string UninstallKeyName(const TSetupContext& context) {
    return u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + SafeKeyName(context.AppIdText());
}

} // namespace KS
