#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "KS.Context.h"
#include "KS.Journal.h"
#include "KS.Program.h"
#include "KS.Script.h"
#include "KS.Sys.Files.h"
#include "KS.Test.Sandbox.h"
#include "System.Remainder.Object.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Streams.h"
#include "Zyl.Test.Child.h"
#include "Zyl.Test.Env.h"

using namespace KS;
using KS::TestSupport::TTestFolder;
using System::ResourceId;

namespace {

// The bytes of one of this executable's resources.
std::string ResourceBytes(const char16_t* name, uint16_t type) {
    System::TResourceStream stream(GetModuleHandleW(nullptr), name, ResourceId(type));
    return std::string(static_cast<const char*>(stream.Memory()), size_t(stream.Size()));
}

uint32_t BigEndian32(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
}

const std::string PngSignature = "\x89PNG\r\n\x1a\n";

System::TRef<TScript> EmbeddedScript() {
    auto script = System::MakeRef<TScript>();
    EXPECT_TRUE(script->Parse(LoadSetupScript())) << std::string(script->ErrorText.begin(), script->ErrorText.end());
    return script;
}

} // namespace

TEST(EmbeddedScript, NamesTheProductItsTasksAndItsSections) {
    auto script = EmbeddedScript();
    auto context = System::MakeRef<TSetupContext>();
    context->Reset();
    context->ApplySetup(script);
    EXPECT_EQ(context->AppIdText(), u"{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}");
    EXPECT_EQ(UninstallKeyName(*context),
              u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}");
    EXPECT_EQ(context->SetupValue(u"AppName", u""), u"Ostrel Dax");
    EXPECT_TRUE(context->AllUsers);
    EXPECT_TRUE(context->Is64Bit);
    EXPECT_EQ(context->AppDir, context->ExpandConstants(u"{pf}\\Ostrel"));
    EXPECT_EQ(context->SetupValue(u"DisableDirPage", u""), u"auto");
    EXPECT_TRUE(context->SetupBool(u"UsePreviousAppDir", false));
    EXPECT_EQ(script->FindSection(u"Files"), nullptr);

    TSection* tasks = script->FindSection(u"Tasks");
    ASSERT_NE(tasks, nullptr);
    ASSERT_EQ(tasks->Entries.size(), 3u);
    EXPECT_EQ(tasks->Entry(0)->GetValue(u"Name", u""), u"associate");
    EXPECT_EQ(tasks->Entry(1)->GetValue(u"Name", u""), u"desktopicon");
    EXPECT_EQ(tasks->Entry(2)->GetValue(u"Name", u""), u"addtopath");

    TSection* run = script->FindSection(u"Run");
    ASSERT_NE(run, nullptr);
    ASSERT_EQ(run->Entries.size(), 1u);
    EXPECT_TRUE(run->Entry(0)->HasFlag(u"postinstall"));
    EXPECT_TRUE(run->Entry(0)->HasFlag(u"skipifsilent"));
    EXPECT_TRUE(run->Entry(0)->HasFlag(u"nowait"));
    EXPECT_EQ(run->Entry(0)->GetValue(u"WorkingDir", u""), u"{userdocs}");
}

TEST(EmbeddedScript, TheOpenCommandsQuoteTheProgramAndTheDocument) {
    auto script = EmbeddedScript();
    int commands = 0;
    for (const auto& entry : script->FindSection(u"Registry")->Entries) {
        if (!AsciiLowerCase(entry->GetValue(u"Subkey", u"")).ends_with(u"\\shell\\open\\command")) continue;
        ++commands;
        EXPECT_EQ(entry->GetValue(u"ValueData", u""), u"\"{app}\\Bin\\Dax.exe\" \"%1\"");
        EXPECT_EQ(entry->GetValue(u"Tasks", u""), u"associate");
    }
    EXPECT_EQ(commands, 4);
}

TEST(EmbeddedScript, APerUserInstallIsNotFailedByTheMachineRegistry) {
    // "/CURRENTUSER" runs without administrator rights, so a value on the
    // machine's root cannot be written then: such an entry (the PATH item,
    // whose task is on by default) must be skipped, not fail the install.
    auto script = EmbeddedScript();
    auto context = System::MakeRef<TSetupContext>();
    context->Reset();
    context->ApplySetup(script);
    context->AllUsers = false;
    int machineEntries = 0;
    for (const auto& entry : script->FindSection(u"Registry")->Entries) {
        if (context->RegistryRoot(entry->GetValue(u"Root", u"")) != 2) continue;
        ++machineEntries;
        const std::u16string key = entry->GetValue(u"Subkey", u"");
        EXPECT_TRUE(entry->HasFlag(u"noerror")) << std::string(key.begin(), key.end());
    }
    EXPECT_EQ(machineEntries, 1);
}

TEST(Resources, TheLogoIsA128PixelPngWithAlpha) {
    const std::string png = ResourceBytes(u"SETUPLOGO", System::kResourceTypeRcData);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 8), PngSignature);
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(BigEndian32(png, 16), 128u);
    EXPECT_EQ(BigEndian32(png, 20), 128u);
    EXPECT_EQ(png[24], 8);  // bits per channel
    EXPECT_EQ(png[25], 6);  // red, green, blue, alpha
}

TEST(Resources, TheIconGroupHoldsSevenPngImagesFrom16To256Pixels) {
    // GRPICONDIR: reserved, type 1, count; then 14-byte entries ending in the
    // image's RT_ICON id.
    const std::string group = ResourceBytes(ResourceId(1), 14);
    ASSERT_GE(group.size(), 6u);
    const uint16_t count = uint8_t(group[4]) | uint8_t(group[5]) << 8;
    ASSERT_EQ(count, 7u);
    ASSERT_EQ(group.size(), 6u + 14u * count);
    const int expected[] = {16, 24, 32, 48, 64, 128, 256};
    for (int i = 0; i < count; ++i) {
        const char* entry = group.data() + 6 + 14 * i;
        const int width = uint8_t(entry[0]) == 0 ? 256 : uint8_t(entry[0]);
        EXPECT_EQ(width, expected[i]);
        const uint16_t id = uint8_t(entry[12]) | uint8_t(entry[13]) << 8;
        const std::string image = ResourceBytes(ResourceId(id), 3);
        EXPECT_EQ(image.substr(0, 8), PngSignature);
        EXPECT_EQ(BigEndian32(image, 16), uint32_t(expected[i]));
    }
}

TEST(Resources, TheManifestAsksForNoElevationAndNamesWindows7To10) {
    const std::string manifest = ResourceBytes(ResourceId(1), 24);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    for (const char* id : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                           "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        EXPECT_NE(manifest.find(id), std::string::npos) << id;
}

TEST(Resources, TheVersionBlockGivesTheProductVersion) {
    EXPECT_EQ(GetFileVersion(GetOwnExePath()), ParseVersion(u"1.0.0.0"));
}

// A silent run that shows nothing sets up no part of the widget library, so
// it loads no drawing library and makes no window; a failed one still shows
// its box. The probe runs the program's spine on its own command line and
// prints each box instead of showing it; the uninstaller's phases run from
// copies of it beside a journal, as an install leaves them.
TEST(ProgramRun, ASilentRunThatShowsNothingLeavesTheWidgetLibraryUnset) {
    const Zyl::Testing::TScopedEnvVar canvas(u"ZYL_CANVAS", std::nullopt);
    TTestFolder folder;
    const Zyl::Testing::TScopedEnvVar cache(u"LOCALAPPDATA", folder.Path());
    const std::u16string probe = DirOfPath(GetOwnExePath()) + u"\\ksetup_run_probe.exe";
    // The probe as "unins000.exe" beside a journal of a per-user install.
    const auto installed = [&](const std::u16string& name) {
        const std::u16string exe = folder / name + u"\\unins000.exe";
        EXPECT_TRUE(CreateDirPath(DirOfPath(exe)));
        EXPECT_TRUE(CopyFileW(System::WStr(probe), System::WStr(exe), FALSE));
        TJournal journal;
        journal.SetMeta(u"Admin", u"0");
        EXPECT_TRUE(journal.SaveToFile(DirOfPath(exe) + u"\\unins000.dat"));
        return exe;
    };
    const std::u16string phaseTwoCopy = folder / u"copy\\unins.exe";
    ASSERT_TRUE(CreateDirPath(DirOfPath(phaseTwoCopy)));
    ASSERT_TRUE(CopyFileW(System::WStr(probe), System::WStr(phaseTwoCopy), FALSE));
    const std::u16string install = u"\"" + probe + u"\" /NOUPDATE /URL=https://localhost:1/($name) \"/DIR=" +
                                   (folder / u"app") + u"\" ";
    struct Case {
        const char* name;
        std::u16string commandLine;
        int32_t code;
        std::string box; // how the box's line begins; empty: no box
    };
    const Case cases[] = {
        {"install, very silent", install + u"/VERYSILENT", 8, ""},
        {"install, silent", install + u"/SILENT", 8, "box: Instalador|não consegui baixar All.Inf.hash"},
        {"uninstall, phase 1", u"\"" + installed(u"phase1") + u"\" /VERYSILENT", 0, ""},
        {"uninstall, phase 2",
         u"\"" + phaseTwoCopy + u"\" \"/KSETUPPHASE2=" + installed(u"phase2") + u"\" /VERYSILENT", 0, ""},
    };
    for (const Case& c : cases) {
        std::string output;
        Zyl::Testing::RunChildProgram(c.commandLine, output);
        std::erase(output, '\r');
        // Phase 1 waits for phase 2, a copy of the probe that may write to
        // the same output first: every run's last line says "none".
        EXPECT_TRUE(output.ends_with("code " + std::to_string(c.code) + ", shell none, canvas none\n"))
            << c.name << ":\n" << output;
        EXPECT_EQ(output.find("shell application"), std::string::npos) << c.name << ":\n" << output;
        EXPECT_EQ(output.find("box: ") != std::string::npos, !c.box.empty()) << c.name << ":\n" << output;
        EXPECT_TRUE(output.starts_with(c.box)) << c.name << ":\n" << output;
    }
}
