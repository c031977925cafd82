#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <functional>

#include "KS.Context.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "TestSupport.h"

using namespace KS;
using System::MakeRef;
using System::TRef;
using KsTest::Narrow;

namespace {

TRef<TSetupContext> ContextFor(const std::u16string& setupLines) {
    auto script = MakeRef<TScript>();
    EXPECT_TRUE(script->Parse(u"[Setup]\n" + setupLines));
    auto context = MakeRef<TSetupContext>();
    context->Reset();
    context->ApplySetup(script);
    return context;
}

} // namespace

TEST(SetupContext, ResetStartsAllUsers32BitAtTheRunningExecutable) {
    auto context = MakeRef<TSetupContext>();
    context->AllUsers = false;
    context->SetAppDir(u"C:\\x");
    context->Reset();
    EXPECT_TRUE(context->AllUsers);
    EXPECT_FALSE(context->Is64Bit);
    EXPECT_EQ(context->AppDir, u"");
    EXPECT_EQ(context->UninstallExe, u"");
    EXPECT_EQ(context->SetupExe, GetOwnExePath());
    EXPECT_EQ(context->SourceDir + u"\\" + NameOfPath(context->SetupExe), context->SetupExe);
}

TEST(SetupContext, PrivilegesSelectTheInstallKind) {
    struct Case {
        const char16_t* Lines;
        bool AllUsers;
    };
    const Case cases[] = {
        {u"PrivilegesRequired=lowest", false}, {u"PrivilegesRequired=  LoWeSt  ", false},
        {u"PrivilegesRequired=admin", true},   {u"PrivilegesRequired=none", true},
        {u"PrivilegesRequired=", true},        {u"AppName=x", true},
    };
    for (const Case& c : cases) EXPECT_EQ(ContextFor(c.Lines)->AllUsers, c.AllUsers) << Narrow(c.Lines);
}

TEST(SetupContext, OnlyTheX64WordsSelect64BitMode) {
    struct Case {
        const char16_t* Lines;
        bool Is64Bit;
    };
    const Case cases[] = {
        {u"ArchitecturesInstallIn64BitMode=x64", true},
        {u"ArchitecturesInstallIn64BitMode= X64 ", true},
        {u"ArchitecturesInstallIn64BitMode=x64compatible", true},
        {u"ArchitecturesInstallIn64BitMode=X64OS", true},
        {u"ArchitecturesInstallIn64BitMode=x64 arm64", false},
        {u"ArchitecturesInstallIn64BitMode=x86", false},
        {u"AppName=x", false},
    };
    for (const Case& c : cases) EXPECT_EQ(ContextFor(c.Lines)->Is64Bit, c.Is64Bit) << Narrow(c.Lines);
}

TEST(SetupContext, GroupDefaultsToTheAppNameAndFolderSeesTheSettingsBeforeIt) {
    EXPECT_EQ(ContextFor(u"AppName=Ostrel Dax")->GroupName, u"Ostrel Dax");
    EXPECT_EQ(ContextFor(u"AppName=Ostrel Dax\nDefaultGroupName={appname} IDE")->GroupName, u"Ostrel Dax IDE");
    EXPECT_EQ(ContextFor(u"DefaultDirName=C:\\x")->GroupName, u"");

    auto perUser = ContextFor(u"PrivilegesRequired=lowest\nDefaultDirName={autopf}\\Ostrel/");
    EXPECT_EQ(perUser->AppDir, ShellFolderPath(CSIDL_LOCAL_APPDATA) + u"\\Programs\\Ostrel");
    EXPECT_EQ(perUser->UninstallExe, perUser->AppDir + u"\\unins000.exe");
    EXPECT_EQ(ContextFor(u"ArchitecturesInstallIn64BitMode=x64\nDefaultDirName={autopf}\\Ostrel")->AppDir,
              ShellFolderPath(CSIDL_PROGRAM_FILES) + u"\\Ostrel");
    EXPECT_EQ(ContextFor(u"DefaultDirName={autopf}\\Ostrel")->AppDir,
              ShellFolderPath(CSIDL_PROGRAM_FILESX86) + u"\\Ostrel");
}

TEST(SetupContext, SetAppDirNormalisesAndKeepsTheUninstallerBeside) {
    struct Case {
        const char16_t* Folder;
        const char16_t* AppDir;
        const char16_t* UninstallExe;
    };
    const Case cases[] = {
        {u"C:/Apps/Tool//", u"C:\\Apps\\Tool", u"C:\\Apps\\Tool\\unins000.exe"},
        {u"C:\\Apps\\Tool\\\\\\", u"C:\\Apps\\Tool", u"C:\\Apps\\Tool\\unins000.exe"},
        {u"C:\\", u"C:\\", u"C:\\unins000.exe"},
        {u"C:/", u"C:\\", u"C:\\unins000.exe"},
        {u"", u"", u"unins000.exe"},
    };
    auto context = MakeRef<TSetupContext>();
    for (const Case& c : cases) {
        context->SetAppDir(c.Folder);
        EXPECT_EQ(context->AppDir, c.AppDir) << Narrow(c.Folder);
        EXPECT_EQ(context->UninstallExe, c.UninstallExe) << Narrow(c.Folder);
    }
}

TEST(SetupContext, RegistryRootNamesAndTheAutomaticRoot) {
    struct Case {
        const char16_t* Text;
        int32_t AllUsersRoot;
        int32_t PerUserRoot;
    };
    const Case cases[] = {
        {u"hka", 2, 1},         {u" HKA ", 2, 1},     {u"HKEY_LOCAL_MACHINE ", 2, 2}, {u"hkcr", 0, 0},
        {u"HKCU", 1, 1},        {u"HKU", 3, 3},       {u"HKEY_USERS", 3, 3},          {u"HKEY_LOCAL", -1, -1},
        {u"", -1, -1},          {u"HKAA", -1, -1},
    };
    auto context = MakeRef<TSetupContext>();
    for (const Case& c : cases) {
        context->AllUsers = true;
        EXPECT_EQ(context->RegistryRoot(c.Text), c.AllUsersRoot) << Narrow(c.Text);
        context->AllUsers = false;
        EXPECT_EQ(context->RegistryRoot(c.Text), c.PerUserRoot) << Narrow(c.Text);
    }
}

TEST(Constants, Grammar) {
    struct Case {
        const char16_t* Text;
        const char16_t* Expanded;
    };
    const Case cases[] = {
        {u"{app}\\Bin", u"C:\\Apps\\Tool\\Bin"},
        {u"{APP}\\a;{App}\\b", u"C:\\Apps\\Tool\\a;C:\\Apps\\Tool\\b"},
        {u"{{app}", u"{app}"},
        {u"{{{app}", u"{C:\\Apps\\Tool"},
        {u"a}b{{", u"a}b{"},
        {u"{nada}\\x", u"{nada}\\x"},
        {u"{}", u"{}"},
        {u"x{app", u"x{app"},
        {u"{app}{app", u"C:\\Apps\\Tool{app"},
        {u"{a{b}c", u"{a{b}c"},
        {u"{groupname}", u"Grupo {app}"},  // values are not expanded again
        {u"sem chaves", u"sem chaves"},
        {u"", u""},
    };
    auto context = MakeRef<TSetupContext>();
    context->SetAppDir(u"C:\\Apps\\Tool");
    context->GroupName = u"Grupo {app}";
    for (const Case& c : cases) EXPECT_EQ(context->ExpandConstants(c.Text), c.Expanded) << Narrow(c.Text);

    context->SetAppDir(u"");
    EXPECT_EQ(context->ExpandConstants(u"{app}\\Bin"), u"\\Bin");
    std::u16string value = u"x";
    EXPECT_FALSE(context->ResolveConstant(u"nada", value));
    EXPECT_EQ(value, u"");
}

// Every folder family under each install kind and mode: "user" forms never
// move, "common" forms never move, "auto" forms follow the install kind and
// the program-files forms follow the mode.
TEST(Constants, FolderFamiliesForEveryInstallKindAndMode) {
    const std::u16string localPrograms = ShellFolderPath(CSIDL_LOCAL_APPDATA) + u"\\Programs";
    using TExpected = std::function<std::u16string(bool allUsers, bool is64)>;
    const auto folder = [](int csidl) { return [csidl](bool, bool) { return ShellFolderPath(csidl); }; };
    const auto autoFolder = [](int common, int user) {
        return [common, user](bool allUsers, bool) { return ShellFolderPath(allUsers ? common : user); };
    };
    const auto pf = [](bool, bool is64) {
        return ShellFolderPath(is64 ? CSIDL_PROGRAM_FILES : CSIDL_PROGRAM_FILESX86);
    };
    const auto cf = [](bool, bool is64) {
        return ShellFolderPath(is64 ? CSIDL_PROGRAM_FILES_COMMON : CSIDL_PROGRAM_FILES_COMMONX86);
    };
    const std::pair<const char16_t*, TExpected> table[] = {
        {u"pf", pf},
        {u"commonpf", pf},
        {u"pf32", folder(CSIDL_PROGRAM_FILESX86)},
        {u"pf64", folder(CSIDL_PROGRAM_FILES)},
        {u"cf", cf},
        {u"cf32", folder(CSIDL_PROGRAM_FILES_COMMONX86)},
        {u"cf64", folder(CSIDL_PROGRAM_FILES_COMMON)},
        {u"autopf", [&](bool allUsers, bool is64) { return allUsers ? pf(allUsers, is64) : localPrograms; }},
        {u"autocf",
         [&](bool allUsers, bool is64) { return allUsers ? cf(allUsers, is64) : localPrograms + u"\\Common"; }},
        {u"userpf", [&](bool, bool) { return localPrograms; }},
        {u"userdesktop", folder(CSIDL_DESKTOPDIRECTORY)},
        {u"commondesktop", folder(CSIDL_COMMON_DESKTOPDIRECTORY)},
        {u"autodesktop", autoFolder(CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY)},
        {u"userprograms", folder(CSIDL_PROGRAMS)},
        {u"commonprograms", folder(CSIDL_COMMON_PROGRAMS)},
        {u"autoprograms", autoFolder(CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS)},
        {u"userstartup", folder(CSIDL_STARTUP)},
        {u"commonstartup", folder(CSIDL_COMMON_STARTUP)},
        {u"autostartup", autoFolder(CSIDL_COMMON_STARTUP, CSIDL_STARTUP)},
        {u"userappdata", folder(CSIDL_APPDATA)},
        {u"appdata", folder(CSIDL_APPDATA)},
        {u"localappdata", folder(CSIDL_LOCAL_APPDATA)},
        {u"commonappdata", folder(CSIDL_COMMON_APPDATA)},
        {u"autoappdata", autoFolder(CSIDL_COMMON_APPDATA, CSIDL_APPDATA)},
        {u"userdocs", folder(CSIDL_PERSONAL)},
        {u"commondocs", folder(CSIDL_COMMON_DOCUMENTS)},
        {u"autodocs", autoFolder(CSIDL_COMMON_DOCUMENTS, CSIDL_PERSONAL)},
        {u"fonts", folder(CSIDL_FONTS)},
        {u"sendto", folder(CSIDL_SENDTO)},
        {u"userprofile", folder(CSIDL_PROFILE)},
        {u"group", [](bool allUsers, bool) {
             return ShellFolderPath(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS) + u"\\Ostrel Dax";
         }},
        {u"sys", [](bool, bool is64) { return is64 ? GetSystemFolder() : GetWindowsFolder() + u"\\SysWOW64"; }},
    };
    // The per-user and all-users folders differ, and so do the two program
    // folders, or the table would prove nothing.
    ASSERT_NE(ShellFolderPath(CSIDL_PROGRAMS), ShellFolderPath(CSIDL_COMMON_PROGRAMS));
    ASSERT_NE(ShellFolderPath(CSIDL_PROGRAM_FILES), ShellFolderPath(CSIDL_PROGRAM_FILESX86));
    auto context = MakeRef<TSetupContext>();
    context->GroupName = u"Ostrel Dax";
    for (bool allUsers : {true, false}) {
        for (bool is64 : {true, false}) {
            context->AllUsers = allUsers;
            context->Is64Bit = is64;
            for (const auto& [name, expected] : table) {
                const std::u16string value = expected(allUsers, is64);
                EXPECT_FALSE(value.empty()) << Narrow(name);
                EXPECT_EQ(context->ExpandConstants(u"{" + std::u16string(name) + u"}"), value)
                    << Narrow(name) << " allUsers=" << allUsers << " is64=" << is64;
            }
        }
    }
}

TEST(Constants, SystemAndContextValues) {
    auto context = ContextFor(u"AppName=Ostrel Dax\nAppVersion=2.1\nDefaultDirName=C:\\Ostrel");
    const std::u16string windows = GetWindowsFolder();
    const std::pair<const char16_t*, std::u16string> table[] = {
        {u"{app}", u"C:\\Ostrel"},
        {u"{uninstallexe}", u"C:\\Ostrel\\unins000.exe"},
        {u"{src}", DirOfPath(GetOwnExePath())},
        {u"{srcexe}", GetOwnExePath()},
        {u"{tmp}", GetTempFolder()},
        {u"{win}", windows},
        {u"{syswow64}", windows + u"\\SysWOW64"},
        {u"{sysnative}", windows + u"\\Sysnative"},
        {u"{sd}", windows.substr(0, 2)},
        {u"{appname} {appversion}", u"Ostrel Dax 2.1"},
        {u"{groupname}", u"Ostrel Dax"},
        {u"{computername}", ComputerName()},
        {u"{username}", CurrentUserName()},
        {u"{AUTOPF}", ShellFolderPath(CSIDL_PROGRAM_FILESX86)},
    };
    for (const auto& [text, value] : table) EXPECT_EQ(context->ExpandConstants(text), value) << Narrow(text);
    EXPECT_FALSE(ComputerName().empty());
    EXPECT_FALSE(CurrentUserName().empty());
}

TEST(Constants, GroupWithoutANameIsTheProgramsFolder) {
    auto context = ContextFor(u"PrivilegesRequired=lowest");
    EXPECT_EQ(context->ExpandConstants(u"{group}"), ShellFolderPath(CSIDL_PROGRAMS));
}

TEST(AppId, BracesAndFallbackAndTheUninstallKey) {
    const std::u16string uninstall = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    struct Case {
        const char16_t* Lines;
        const char16_t* Id;
        const char16_t* KeyName;
    };
    const Case cases[] = {
        {u"AppId={{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}\nAppName=Ostrel Dax", u"{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}",
         u"{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}"},
        {u"AppName=Meu App 2.0", u"Meu App 2.0", u"Meu_App_2.0"},
        {u"AppId=\nAppName=Ação", u"Ação", u"A__o"},
        {u"AppId={{a}}{{app}", u"{a}}{app}", u"{a}}{app}"},
        {u"DefaultDirName=x", u"", u"_"},
    };
    for (const Case& c : cases) {
        auto context = ContextFor(c.Lines);
        EXPECT_EQ(context->AppIdText(), c.Id) << Narrow(c.Lines);
        EXPECT_EQ(UninstallKeyName(*context), uninstall + c.KeyName) << Narrow(c.Lines);
    }
}
