// The script's constants: a name between braces resolved from the install
// context, the system's folders and [Setup].
#include "KS.Context.h"

#include <windows.h>
#include <shlobj.h>


#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"

namespace KS {

namespace {

using TResolver = std::u16string (*)(const TSetupContext&);

std::u16string Folder(int csidl) {
    return ShellFolderPath(csidl);
}

// The "auto" forms follow the install kind; "user" and "common" never do.
std::u16string AutoFolder(const TSetupContext& c, int allUsersCsidl, int userCsidl) {
    return CommonOrUserShellFolder(c.AllUsers, allUsersCsidl, userCsidl);
}

std::u16string ProgramFiles(const TSetupContext& c) {
    return Folder(c.Is64Bit ? CSIDL_PROGRAM_FILES : CSIDL_PROGRAM_FILESX86);
}

std::u16string CommonFiles(const TSetupContext& c) {
    return Folder(c.Is64Bit ? CSIDL_PROGRAM_FILES_COMMON : CSIDL_PROGRAM_FILES_COMMONX86);
}

// A current-user install has no program-files folder of its own.
std::u16string UserPrograms() {
    return Folder(CSIDL_LOCAL_APPDATA) + u"\\Programs";
}

std::u16string AutoPrograms(const TSetupContext& c) {
    return AutoFolder(c, CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS);
}

struct TConstant {
    const char16_t* Name;
    TResolver Resolve;
};

const TConstant Constants[] = {
    {u"app", [](const TSetupContext& c) { return c.AppDir; }},
    {u"src", [](const TSetupContext& c) { return c.SourceDir; }},
    {u"srcexe", [](const TSetupContext& c) { return c.SetupExe; }},
    {u"tmp", [](const TSetupContext&) { return GetTempFolder(); }},
    {u"win", [](const TSetupContext&) { return GetWindowsFolder(); }},
    {u"sys", [](const TSetupContext& c) {
         return c.Is64Bit ? GetSystemFolder() : GetWindowsFolder() + u"\\SysWOW64";
     }},
    {u"syswow64", [](const TSetupContext&) { return GetWindowsFolder() + u"\\SysWOW64"; }},
    {u"sysnative", [](const TSetupContext&) { return GetWindowsFolder() + u"\\Sysnative"; }},
    {u"sd", [](const TSetupContext&) { return Substring(GetWindowsFolder(), 0, 2); }},
    {u"pf", ProgramFiles},
    {u"pf32", [](const TSetupContext&) { return Folder(CSIDL_PROGRAM_FILESX86); }},
    {u"pf64", [](const TSetupContext&) { return Folder(CSIDL_PROGRAM_FILES); }},
    {u"cf", CommonFiles},
    {u"cf32", [](const TSetupContext&) { return Folder(CSIDL_PROGRAM_FILES_COMMONX86); }},
    {u"cf64", [](const TSetupContext&) { return Folder(CSIDL_PROGRAM_FILES_COMMON); }},
    {u"autopf", [](const TSetupContext& c) { return c.AllUsers ? ProgramFiles(c) : UserPrograms(); }},
    {u"autocf", [](const TSetupContext& c) {
         return c.AllUsers ? CommonFiles(c) : UserPrograms() + u"\\Common";
     }},
    {u"userpf", [](const TSetupContext&) { return UserPrograms(); }},
    {u"commonpf", ProgramFiles},
    {u"userdesktop", [](const TSetupContext&) { return Folder(CSIDL_DESKTOPDIRECTORY); }},
    {u"commondesktop", [](const TSetupContext&) { return Folder(CSIDL_COMMON_DESKTOPDIRECTORY); }},
    {u"autodesktop", [](const TSetupContext& c) {
         return AutoFolder(c, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY);
     }},
    {u"userprograms", [](const TSetupContext&) { return Folder(CSIDL_PROGRAMS); }},
    {u"commonprograms", [](const TSetupContext&) { return Folder(CSIDL_COMMON_PROGRAMS); }},
    {u"autoprograms", AutoPrograms},
    {u"userstartup", [](const TSetupContext&) { return Folder(CSIDL_STARTUP); }},
    {u"commonstartup", [](const TSetupContext&) { return Folder(CSIDL_COMMON_STARTUP); }},
    {u"autostartup", [](const TSetupContext& c) { return AutoFolder(c, CSIDL_COMMON_STARTUP, CSIDL_STARTUP); }},
    {u"userappdata", [](const TSetupContext&) { return Folder(CSIDL_APPDATA); }},
    {u"localappdata", [](const TSetupContext&) { return Folder(CSIDL_LOCAL_APPDATA); }},
    {u"commonappdata", [](const TSetupContext&) { return Folder(CSIDL_COMMON_APPDATA); }},
    {u"autoappdata", [](const TSetupContext& c) { return AutoFolder(c, CSIDL_COMMON_APPDATA, CSIDL_APPDATA); }},
    {u"appdata", [](const TSetupContext&) { return Folder(CSIDL_APPDATA); }},
    {u"userdocs", [](const TSetupContext&) { return Folder(CSIDL_PERSONAL); }},
    {u"commondocs", [](const TSetupContext&) { return Folder(CSIDL_COMMON_DOCUMENTS); }},
    {u"autodocs", [](const TSetupContext& c) { return AutoFolder(c, CSIDL_COMMON_DOCUMENTS, CSIDL_PERSONAL); }},
    {u"fonts", [](const TSetupContext&) { return Folder(CSIDL_FONTS); }},
    {u"sendto", [](const TSetupContext&) { return Folder(CSIDL_SENDTO); }},
    {u"userprofile", [](const TSetupContext&) { return Folder(CSIDL_PROFILE); }},
    {u"group", [](const TSetupContext& c) { return CombinePath(AutoPrograms(c), c.GroupName); }},
    {u"groupname", [](const TSetupContext& c) { return c.GroupName; }},
    {u"computername", [](const TSetupContext&) { return ComputerName(); }},
    {u"username", [](const TSetupContext&) { return CurrentUserName(); }},
    {u"uninstallexe", [](const TSetupContext& c) { return c.UninstallExe; }},
    {u"appname", [](const TSetupContext& c) { return c.SetupValue(u"AppName", u""); }},
    {u"appversion", [](const TSetupContext& c) { return c.SetupValue(u"AppVersion", u""); }},
};

} // namespace

bool TSetupContext::ResolveConstant(const std::u16string& name, std::u16string& value) const {
    const std::u16string key = AsciiLowerCase(name);
    for (const TConstant& constant : Constants) {
        if (key == constant.Name) {
            value = constant.Resolve(*this);
            return true;
        }
    }
    value.clear();
    return false;
}

} // namespace KS
