#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "KS.Engine.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Sandbox.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::TRef;
using KsTest::Narrow;

namespace {

class Dirs : public ::testing::Test {
protected:
    TSetupEngine& Engine(const std::u16string& sections = u"") {
        engine = LoadedEngine(u"[Setup]\nAppName=Dax\nUsePreviousAppDir=no\nDefaultDirName=" + folder.Path() +
                              u"\\app\n" + sections);
        return *engine;
    }
    std::u16string App(const std::u16string& name) const { return folder / (u"app\\" + name); }

    TTestFolder folder;
    TRef<TSetupEngine> engine;
};

} // namespace

TEST_F(Dirs, CreatesOutermostFirstRecordsOnlyNewFoldersAndNormalises) {
    TSetupEngine& setup = Engine();
    EXPECT_TRUE(setup.CreateDirs(folder / u"a\\b"));
    EXPECT_TRUE(setup.CreateDirs(folder / u"a\\b"));
    EXPECT_TRUE(setup.CreateDirs(folder.Path() + u"/c/d\\\\"));
    EXPECT_TRUE(setup.CreateDirs(u""));
    EXPECT_EQ(setup.Journal->Records(),
              (std::vector<std::u16string>{u"D|" + folder / u"a", u"D|" + folder / u"a\\b", u"D|" + folder / u"c",
                                           u"D|" + folder / u"c\\d"}));
    EXPECT_TRUE(IsExistingFolder(folder / u"c\\d"));
}

TEST_F(Dirs, FileInTheWayOrRelativePathFailsWithTheFolderError) {
    ASSERT_TRUE(WriteBytes(folder / u"file", "x"));
    TSetupEngine& setup = Engine();
    EXPECT_FALSE(setup.CreateDirs(folder / u"file\\sub"));
    EXPECT_TRUE(HasPrefix(setup.LastError, u"não consegui criar a pasta \"" + folder / u"file" + u"\": "))
        << Narrow(setup.LastError);
    const std::u16string relative = u"rel-" + SafeKeyName(KsTest::TestName());
    EXPECT_FALSE(setup.CreateDirs(relative + u"\\x"));
    EXPECT_TRUE(HasPrefix(setup.LastError, u"não consegui criar a pasta \"" + relative + u"\\x\": "));
    EXPECT_FALSE(IsExistingFolder(relative));
    EXPECT_TRUE(setup.Journal->Records().empty());
}

TEST_F(Dirs, SectionMakesTheInstallationFolderSkipsEmptyNamesAndStopsAtAFailure) {
    ASSERT_TRUE(WriteBytes(folder / u"file", "x"));
    TSetupEngine& setup = Engine(u"[Dirs]\nName: \"{app}\\dados\"\nName: \"{groupname}\"\nName: \"" + folder.Path() +
                                 u"\\file\\x\"\nName: \"{app}\\depois\"\n");
    setup.Context->GroupName.clear();
    EXPECT_FALSE(setup.CreateDirsSection());
    EXPECT_EQ(setup.Journal->Records(), (std::vector<std::u16string>{u"D|" + folder / u"app", u"D|" + App(u"dados")}));
    EXPECT_FALSE(IsExistingFolder(App(u"depois")));
}

TEST_F(Dirs, InstallDeleteByType) {
    for (const char16_t* file : {u"old\\a.tmp", u"old\\b.txt", u"old\\sub\\c.tmp", u"tree\\x.txt", u"tree\\sub\\y.txt",
                                 u"single.txt", u"keepdir\\z.txt", u"whole\\w\\w.txt"}) {
        ASSERT_TRUE(CreateDirPath(DirOfPath(App(file))));
        ASSERT_TRUE(WriteBytes(App(file), "x"));
    }
    ASSERT_TRUE(CreateDirPath(App(u"emptydir")));
    // A relative name must not reach the current folder.
    const std::u16string stray = SafeKeyName(KsTest::TestName()) + u".dat";
    ASSERT_TRUE(WriteBytes(stray, "fica"));
    TSetupEngine& setup = Engine(uR"([InstallDelete]
Type: FilesAndOrDirs; Name: "{app}\tree\*"
Type: files; Name: "{app}\old\*"
Type: dirifempty; Name: "{app}\keepdir"
Type: dirifempty; Name: "{app}\emptydir"
Type: outro; Name: "{app}\single.txt"
Type: filesandordirs; Name: "{app}\whole"
Type: files; Name: ")" + stray + u"\"\n");
    setup.InstallDeleteSection();
    const struct {
        const char16_t* Path;
        bool Present;
    } expected[] = {{u"tree", true},        {u"tree\\x.txt", false}, {u"tree\\sub", false},      {u"old\\a.tmp", false},
                    {u"old\\b.txt", false}, {u"old\\sub\\c.tmp", true}, {u"keepdir\\z.txt", true}, {u"emptydir", false},
                    {u"single.txt", false}, {u"whole", false}};
    for (const auto& e : expected)
        EXPECT_EQ(GetFileAttributesW(System::WStr(App(e.Path))) != INVALID_FILE_ATTRIBUTES, e.Present) << Narrow(e.Path);
    EXPECT_EQ(ReadBytes(stray), "fica");
    DeleteFileW(System::WStr(stray));
    EXPECT_TRUE(setup.Journal->Records().empty());
    EXPECT_FALSE(setup.RebootNeeded);
}
