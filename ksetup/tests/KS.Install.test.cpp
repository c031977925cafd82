#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "KS.Install.h"
#include "KS.Test.Entry.h"
#include "KS.Test.Sandbox.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;

namespace {

// No catalogue answers at this address, and the download cache is the
// test's own, so every install fails in the provider's preparation.
constexpr char16_t Nowhere[] = u"/URL=https://localhost:1/($name)";

class InstallMainTest : public TEntryTest {
protected:
    void SetUp() override {
        TEntryTest::SetUp();
        SetEnvironmentVariableW(L"LOCALAPPDATA", System::WStr(folder_.Path()));
    }

    // "title|flags|text" of every box shown.
    static std::vector<std::u16string> BoxTexts() {
        std::vector<std::u16string> texts;
        for (const auto& box : Boxes)
            texts.push_back(box.Title + (box.Flags == MB_OK + MB_ICONERROR ? u"|erro|" : u"|?|") + box.Text);
        return texts;
    }

    std::u16string Script() const {
        return u"[Setup]\nAppName=Teste\nAppId=ks-install-" + KsTest::TestName() + u"\nDefaultDirName=" +
               folder_.Path() + u"\\app\nPrivilegesRequired=admin\n";
    }

    TTestFolder folder_;
};

} // namespace

TEST_F(InstallMainTest, ABrokenScriptIsReportedWhateverTheSwitchesAndGivesTwo) {
    EXPECT_EQ(InstallMain({u"/VERYSILENT", u"/SUPPRESSMSGBOXES", u"/NAOEXISTE"}, u"[Setup]\nAppName\n"), 2);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(BoxTexts()[0], u"Instalador|erro|roteiro inválido: linha 2: esperava \"Chave=Valor\": AppName");
}

TEST_F(InstallMainTest, AnUnknownSwitchGivesOneBeforeElevationOrNetwork) {
    Elevated = false;
    EXPECT_EQ(InstallMain({u"/VERYSILENT", u"/NAOEXISTE"}, Script()), 1);
    EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"Instalador|erro|Opção de linha de comando inválida."});
    EXPECT_TRUE(Launches.empty());
}

TEST_F(InstallMainTest, WithoutRightsItRelaunchesElevatedAndEndsWithTheCopysCode) {
    Elevated = false;
    EXPECT_EQ(InstallMain({u"/SILENT", u"/DIR=C:\\Program Files\\Teste"}, Script()), 7);
    EXPECT_EQ(Launches,
              std::vector<std::u16string>{u"runas /SILENT \"/DIR=C:\\Program Files\\Teste\" /KSETUPELEVATED"});
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(InstallMainTest, AFailedRelaunchGivesFiveWithAMessageUnlessVerySilent) {
    Elevated = false;
    LaunchStarts = false;
    const std::u16string message = u"Instalador|erro|É preciso permissão de administrador para instalar Teste.";
    struct Case {
        TStringArray Args;
        size_t Boxes;
    };
    for (const Case& c : {Case{{}, 1}, Case{{u"/SILENT", u"/SUPPRESSMSGBOXES"}, 1}, Case{{u"/VERYSILENT"}, 0}}) {
        Boxes.clear();
        EXPECT_EQ(InstallMain(c.Args, Script()), 5);
        ASSERT_EQ(Boxes.size(), c.Boxes);
        if (c.Boxes) {
            EXPECT_EQ(BoxTexts()[0], message);
        }
    }
    // The relaunched copy itself, still not elevated, does not try again.
    Launches.clear();
    EXPECT_EQ(InstallMain({u"/VERYSILENT", u"/KSETUPELEVATED"}, Script()), 5);
    EXPECT_TRUE(Launches.empty());
}

TEST_F(InstallMainTest, AFailedSilentInstallGivesEightWithOneMessageOnlyUnderSilent) {
    Elevated = false;
    struct Case {
        TStringArray Args;
        size_t Boxes;
    };
    // "/CURRENTUSER" needs no elevation although the script asks for it.
    // Without a switch the run is the wizard's (tests/e2e/test_wizard.py).
    for (const Case& c :
         {Case{{u"/SILENT"}, 1}, Case{{u"/SILENT", u"/SUPPRESSMSGBOXES"}, 0}, Case{{u"/VERYSILENT"}, 0}}) {
        Boxes.clear();
        TStringArray args = c.Args;
        args.insert(args.end(), {u"/CURRENTUSER", u"/NOUPDATE", Nowhere});
        EXPECT_EQ(InstallMain(args, Script()), 8);
        EXPECT_EQ(Boxes.size(), c.Boxes);
    }
    EXPECT_TRUE(Launches.empty());
}
