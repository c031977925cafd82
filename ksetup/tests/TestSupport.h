// What the service tests share: names and folders of their own, so that
// ctest -j runs them side by side in one Wine prefix, and the path of the
// child program they start.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Encoding.h"

namespace KsTest {

// "Suite.Test" of the running test.
inline std::u16string TestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    return std::u16string(name.begin(), name.end());
}

// UTF-8 for failure messages.
inline std::string Narrow(const std::u16string& text) {
    const System::TBytes bytes = System::GetUtf8Encoding()->GetBytes(text);
    return std::string(bytes.begin(), bytes.end());
}

inline std::u16string ChildExePath() {
    return KS::DirOfPath(KS::GetOwnExePath()) + u"\\ksetup_test_child.exe";
}

// A test with an empty folder of its own in the temporary folder.
class TScratchTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = KS::GetTempFolder() + u"\\ks-" + TestName();
        KS::DeleteFolderTree(Folder);
        ASSERT_TRUE(KS::CreateDirPath(Folder));
    }
    void TearDown() override { KS::DeleteFolderTree(Folder); }

    std::u16string Path(const std::u16string& name) const { return Folder + u"\\" + name; }

    std::u16string Folder;
};

} // namespace KsTest
