// The destination page's folder picker: the shell's own dialog, shown for
// real and answered from a helper thread. A file of its own: the class Shell
// of the shell's header would clash with the forms harness's Shell().
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include "KS.Sys.Files.h"
#include "KS.Wizard.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"
#include "TestSupport.h"
#include "Zyl.Test.Dialogs.h"

using namespace KS;

namespace {

// The texts of a box's controls, one line each.
std::u16string ShownTexts(HWND box) {
    std::u16string texts;
    EnumChildWindows(
        box,
        [](HWND control, LPARAM data) -> BOOL {
            wchar_t text[256] = {};
            GetWindowTextW(control, text, 256);
            *reinterpret_cast<std::u16string*>(data) += System::FromWStr(text) + u"\n";
            return TRUE;
        },
        LPARAM(&texts));
    return texts;
}

} // namespace

// The shell's folder picker for real, answered from a helper thread as a
// user would: cancelled, or with a folder chosen and confirmed.
TEST(BrowseForFolder, AnswersWhatTheUserDidInThePicker) {
    // On the drive's root: Wine's picker cannot select a folder in the user's
    // profile by its path.
    const std::u16string picked = u"C:\\ksetup-tests-browse";
    DeleteFolderTree(picked);
    ASSERT_TRUE(CreateDirPath(picked));
    const std::wstring chosen = System::WStr(picked);
    const struct {
        const char* Name;
        std::function<void(HWND)> Act;
        bool Result;
        std::u16string Path;
    } cases[] = {
        {"cancelled", [](HWND box) { Zyl::Testing::ClickButton(box, IDCANCEL); }, false, u""},
        {"closed", [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); }, false, u""},
        {"chosen",
         [&](HWND box) {
             SendMessageW(box, BFFM_SETSELECTIONW, TRUE, LPARAM(chosen.c_str()));
             Zyl::Testing::ClickButton(box, IDOK);
         },
         true, picked},
    };
    for (const auto& c : cases) {
        std::u16string path = u"antes";
        std::u16string title;
        bool result = false;
        {
            Zyl::Testing::TDialogCloser closer([&](HWND box) {
                title = ShownTexts(box);
                c.Act(box);
            });
            result = BrowseForFolder(path);
        }
        EXPECT_EQ(result, c.Result) << c.Name;
        EXPECT_TRUE(System::SameText(path, c.Path)) << c.Name << ": " << KsTest::Narrow(path);
        EXPECT_NE(title.find(u"Escolha a pasta de instalação"), std::u16string::npos) << c.Name;
    }
    DeleteFolderTree(picked);
}
