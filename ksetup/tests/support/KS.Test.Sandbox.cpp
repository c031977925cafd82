#include "KS.Test.Sandbox.h"

#include <windows.h>

#include "KS.Sys.Files.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

namespace KS::TestSupport {

TTestFolder::TTestFolder() : path_(GetTempFolder() + u"\\ksetup-tests\\" + SafeKeyName(KsTest::TestName())) {
    DeleteFolderTree(path_);
    CreateDirPath(path_);
}

TTestFolder::~TTestFolder() {
    DeleteFolderTree(path_);
}

std::u16string TTestFolder::operator/(const std::u16string& name) const {
    return CombinePath(path_, name);
}

TTestKey::TTestKey() : path_(u"Software\\KSetupTests\\" + SafeKeyName(KsTest::TestName())) {
    DeleteEverywhere();
}

TTestKey::~TTestKey() {
    DeleteEverywhere();
}

std::u16string TTestKey::operator/(const std::u16string& name) const {
    return path_ + u"\\" + name;
}

void TTestKey::DeleteEverywhere() const {
    for (int32_t root : {1, 2})
        for (bool view32 : {false, true}) DeleteRegKeyTree(root, path_, view32);
}

std::string ReadBytes(const std::u16string& path) {
    System::TBytes bytes;
    if (!ReadFileBytes(path, bytes)) return {};
    return std::string(bytes.begin(), bytes.end());
}

bool WriteBytes(const std::u16string& path, const std::string& bytes) {
    return WriteFileBytes(path, bytes.data(), static_cast<int64_t>(bytes.size()));
}

bool FileExists(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(System::WStr(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace KS::TestSupport
