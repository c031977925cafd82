#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "KS.Engine.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Inspect.h"
#include "KS.Test.Observer.h"
#include "KS.Test.Sandbox.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;
using KsTest::Narrow;

namespace {

class Shortcuts : public ::testing::Test {
protected:
    TSetupEngine& Engine(const std::u16string& icons) {
        engine = LoadedEngine(u"[Setup]\nAppName=Dax\nUsePreviousAppDir=no\nDefaultDirName=" + folder.Path() +
                                  u"\\app\n[Tasks]\nName: \"desktop\"; Flags: unchecked\n[Icons]\n" + icons,
                              folder / u"setup.log");
        engine->Observer = observer;
        return *engine;
    }

    TTestFolder folder;
    TRef<TRecordingObserver> observer = MakeRef<TRecordingObserver>();
    TRef<TSetupEngine> engine;
};

} // namespace

TEST_F(Shortcuts, WritesJournalsAndSkipsWhatItCannotWrite) {
    const std::u16string child = KsTest::ChildExePath();
    TSetupEngine& setup = Engine(u"Name: \"{app}\\Menu\\Dax\"; Filename: \"" + child +
                                 u"\"; WorkingDir: \"{app}\\bin\"; IconFilename: \"" + child +
                                 u"\"; IconIndex: 2; Comment: \"{app} fica\"\n"
                                 u"Name: \"{app}\\Menu\\Vazio\"; Filename: \"{groupname}\"\n"
                                 u"Name: \"{app}\\Menu\\Ausente\"; Filename: \"{app}\\nada.exe\"; Flags: createonlyiffileexists\n"
                                 u"Name: \"{groupname}\\Solto\"; Filename: \"" + child + u"\"\n"
                                 u"Name: \"{app}\\Menu\\Mantido\"; Filename: \"" + child + u"\"; Flags: uninsneveruninstall\n");
    setup.Context->GroupName.clear();
    EXPECT_TRUE(setup.CreateShortcuts());
    const std::u16string menu = folder / u"app\\Menu";
    TLinkContents link;
    ASSERT_TRUE(LoadLink(menu + u"\\Dax.lnk", link));
    EXPECT_TRUE(EqualsIgnoreCase(link.Target, child));
    EXPECT_EQ(link.Folder, folder / u"app\\bin");
    EXPECT_TRUE(EqualsIgnoreCase(link.IconFile, child));
    EXPECT_EQ(link.IconIndex, 2);
    EXPECT_EQ(link.Description, u"{app} fica");
    EXPECT_TRUE(FileExists(menu + u"\\Mantido.lnk"));
    EXPECT_FALSE(FileExists(menu + u"\\Ausente.lnk"));
    EXPECT_FALSE(FileExists(u"Solto.lnk"));
    // The new folders come before the shortcut that needed them.
    EXPECT_EQ(setup.Journal->Records(), (std::vector<std::u16string>{u"D|" + folder / u"app", u"D|" + menu,
                                                                     u"F|" + menu + u"\\Dax.lnk"}));
    EXPECT_EQ(observer->StatusTexts(), std::vector<std::u16string>{u"Criando atalhos..."});
    const std::vector<std::u16string> log = LogLines(folder / u"setup.log");
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], u"atalho: " + menu + u"\\Dax.lnk");
    EXPECT_TRUE(HasPrefix(log[1], u"atalho não criado: \\Solto.lnk: ")) << Narrow(log[1]);
    EXPECT_EQ(log[2], u"atalho: " + menu + u"\\Mantido.lnk");
}

TEST_F(Shortcuts, FilteredOutEntriesStillShowTheStatusAndAnEmptySectionNothing) {
    TSetupEngine& setup = Engine(u"Name: \"{app}\\Dax\"; Filename: \"{app}\\dax.exe\"; Tasks: desktop\n");
    EXPECT_TRUE(setup.CreateShortcuts());
    EXPECT_EQ(observer->StatusTexts(), std::vector<std::u16string>{u"Criando atalhos..."});
    EXPECT_TRUE(setup.Journal->Records().empty());

    observer = MakeRef<TRecordingObserver>();
    EXPECT_TRUE(Engine(u"").CreateShortcuts());
    EXPECT_TRUE(observer->Events.empty());
}

TEST_F(Shortcuts, FolderThatCannotBeMadeStopsTheStep) {
    ASSERT_TRUE(WriteBytes(folder / u"file", "x"));
    TSetupEngine& setup = Engine(u"Name: \"" + folder.Path() + u"\\file\\Dax\"; Filename: \"" +
                                 KsTest::ChildExePath() + u"\"\n");
    EXPECT_FALSE(setup.CreateShortcuts());
    EXPECT_TRUE(HasPrefix(setup.LastError, u"não consegui criar a pasta ")) << Narrow(setup.LastError);
}
