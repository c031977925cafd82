#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "KS.Elevation.h"
#include "KS.Install.h"
#include "KS.Startup.h"
#include "KS.Test.Sandbox.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;

namespace {

// Boxes are recorded, never shown; the elevation test and the launcher
// answer as the test says.
struct TSeams {
    static inline std::vector<std::u16string> Boxes;
    static inline bool Elevated = true;
    static inline bool LaunchStarts = true;
    static inline std::vector<std::u16string> Launches;

    static int32_t Box(const std::u16string& text, const std::u16string& title, uint32_t flags) {
        Boxes.push_back(title + u"|" + (flags == MB_OK + MB_ICONERROR ? u"erro|" : u"?|") + text);
        return IDOK;
    }
    static bool IsElevated() { return Elevated; }
    static bool Launch(const std::u16string& verb, const std::u16string&, const std::u16string& parameters,
                       const std::u16string&, int32_t, bool, uint32_t& exitCode) {
        Launches.push_back(verb + u" " + parameters);
        exitCode = 7;
        return LaunchStarts;
    }
};

// No catalogue answers at this address, and the download cache is the
// test's own, so every install fails in the provider's preparation.
constexpr char16_t Nowhere[] = u"/URL=https://localhost:1/($name)";

class InstallMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        TSeams::Boxes.clear();
        TSeams::Launches.clear();
        TSeams::Elevated = true;
        TSeams::LaunchStarts = true;
        savedBox_ = MessageBoxProc();
        savedSeams_ = ElevationSeams();
        MessageBoxProc() = TSeams::Box;
        ElevationSeams().IsElevated = TSeams::IsElevated;
        ElevationSeams().Launch = TSeams::Launch;
        SetEnvironmentVariableW(L"LOCALAPPDATA", System::WStr(folder_.Path()));
    }
    void TearDown() override {
        MessageBoxProc() = savedBox_;
        ElevationSeams() = savedSeams_;
    }

    std::u16string Script() const {
        return u"[Setup]\nAppName=Teste\nAppId=ks-install-" + KsTest::TestName() + u"\nDefaultDirName=" +
               folder_.Path() + u"\\app\nPrivilegesRequired=admin\n";
    }

    TTestFolder folder_;

private:
    TMessageBoxProc savedBox_ = nullptr;
    TElevationSeams savedSeams_;
};

} // namespace

TEST_F(InstallMainTest, ABrokenScriptIsReportedWhateverTheSwitchesAndGivesTwo) {
    EXPECT_EQ(InstallMain({u"/VERYSILENT", u"/SUPPRESSMSGBOXES", u"/NAOEXISTE"}, u"[Setup]\nAppName\n"), 2);
    ASSERT_EQ(TSeams::Boxes.size(), 1u);
    EXPECT_EQ(TSeams::Boxes[0], u"Instalador|erro|roteiro inválido: linha 2: esperava \"Chave=Valor\": AppName");
}

TEST_F(InstallMainTest, AnUnknownSwitchGivesOneBeforeElevationOrNetwork) {
    TSeams::Elevated = false;
    EXPECT_EQ(InstallMain({u"/VERYSILENT", u"/NAOEXISTE"}, Script()), 1);
    EXPECT_EQ(TSeams::Boxes, std::vector<std::u16string>{u"Instalador|erro|Opção de linha de comando inválida."});
    EXPECT_TRUE(TSeams::Launches.empty());
}

TEST_F(InstallMainTest, WithoutRightsItRelaunchesElevatedAndEndsWithTheCopysCode) {
    TSeams::Elevated = false;
    EXPECT_EQ(InstallMain({u"/SILENT", u"/DIR=C:\\Program Files\\Teste"}, Script()), 7);
    EXPECT_EQ(TSeams::Launches,
              std::vector<std::u16string>{u"runas /SILENT \"/DIR=C:\\Program Files\\Teste\" /KSETUPELEVATED"});
    EXPECT_TRUE(TSeams::Boxes.empty());
}

TEST_F(InstallMainTest, AFailedRelaunchGivesFiveWithAMessageUnlessVerySilent) {
    TSeams::Elevated = false;
    TSeams::LaunchStarts = false;
    const std::u16string message = u"Instalador|erro|É preciso permissão de administrador para instalar Teste.";
    struct Case {
        TStringArray Args;
        size_t Boxes;
    };
    for (const Case& c : {Case{{}, 1}, Case{{u"/SILENT", u"/SUPPRESSMSGBOXES"}, 1}, Case{{u"/VERYSILENT"}, 0}}) {
        TSeams::Boxes.clear();
        EXPECT_EQ(InstallMain(c.Args, Script()), 5);
        ASSERT_EQ(TSeams::Boxes.size(), c.Boxes);
        if (c.Boxes) {
            EXPECT_EQ(TSeams::Boxes[0], message);
        }
    }
    // The relaunched copy itself, still not elevated, does not try again.
    TSeams::Launches.clear();
    EXPECT_EQ(InstallMain({u"/VERYSILENT", u"/KSETUPELEVATED"}, Script()), 5);
    EXPECT_TRUE(TSeams::Launches.empty());
}

TEST_F(InstallMainTest, AFailedSilentInstallGivesEightWithOneMessageOnlyUnderSilent) {
    TSeams::Elevated = false;
    struct Case {
        TStringArray Args;
        size_t Boxes;
    };
    // "/CURRENTUSER" needs no elevation although the script asks for it.
    for (const Case& c : {Case{{u"/SILENT"}, 1}, Case{{u"/SILENT", u"/SUPPRESSMSGBOXES"}, 0}, Case{{u"/VERYSILENT"}, 0},
                          Case{{}, 1}}) {
        TSeams::Boxes.clear();
        TStringArray args = c.Args;
        args.insert(args.end(), {u"/CURRENTUSER", u"/NOUPDATE", Nowhere});
        EXPECT_EQ(InstallMain(args, Script()), 8);
        EXPECT_EQ(TSeams::Boxes.size(), c.Boxes);
    }
    EXPECT_TRUE(TSeams::Launches.empty());
}
