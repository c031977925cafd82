// What an install run agrees on: the script, all users or the current user,
// 64-bit mode, the installation folder and group, the installer's own path
// and the uninstaller's. The script's constants are resolved from it.
#pragma once

#include <cstdint>
#include <string>

#include "KS.Script.h"
#include "System.Remainder.Object.h"

namespace KS {

class TSetupContext : public System::TObject {
public:
    System::TRef<TScript> Script;
    bool AllUsers = true;
    bool Is64Bit = false;
    // Never with a trailing backslash, except a drive root such as "C:\".
    // Changes only through SetAppDir, together with UninstallExe.
    std::u16string AppDir;
    std::u16string GroupName;
    std::u16string SetupExe;
    std::u16string SourceDir;
    std::u16string UninstallExe;

    // All users, 32-bit, no folder or group, the running executable's paths.
    void Reset();
    // Reads [Setup]: privileges and 64-bit mode first, because the group and
    // the folder may name constants that depend on them.
    void ApplySetup(const System::TRef<TScript>& script);
    void SetAppDir(const std::u16string& folder);
    // The root index of a [Registry] "Root" text: 0 HKCR, 1 HKCU, 2 HKLM,
    // 3 HKU; "HKA" is HKLM for all users and HKCU otherwise; -1 for others.
    int32_t RegistryRoot(const std::u16string& rootText) const;

    // The text with every "{name}" replaced by its value and "{{" by "{".
    // Unknown names and a "{" without "}" stay as written; values are not
    // expanded again.
    std::u16string ExpandConstants(const std::u16string& text) const;
    // The value of a constant name (any ASCII case); false for an unknown one.
    bool ResolveConstant(const std::u16string& name, std::u16string& value) const;
    // [Setup] "AppId" (or "AppName" when empty) with "{{" read as "{".
    std::u16string AppIdText() const;

    // A [Setup] value; the default also when no script is applied yet.
    std::u16string SetupValue(const std::u16string& key, const std::u16string& defaultValue) const;
    bool SetupBool(const std::u16string& key, bool defaultValue) const;
};

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\" + the application id
// made safe for a key name.
std::u16string UninstallKeyName(const TSetupContext& context);

} // namespace KS
