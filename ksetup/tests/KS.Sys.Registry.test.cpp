#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Registry.h"
#include "System.Remainder.Encoding.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using System::WStr;

namespace {

constexpr int32_t kHkcu = 1;
constexpr int32_t kHklm = 2;
constexpr bool kView32 = true;
constexpr bool kView64 = false;

// The raw type and bytes of a value, read past the services.
struct RawValue {
    LONG Status = 0;
    DWORD Type = 0;
    std::vector<uint8_t> Data;
};

RawValue ReadRaw(HKEY root, const std::u16string& subkey, const std::u16string& name, REGSAM view) {
    RawValue raw;
    HKEY key;
    raw.Status = RegOpenKeyExW(root, WStr(subkey), 0, KEY_READ | view, &key);
    if (raw.Status != ERROR_SUCCESS) return raw;
    raw.Data.resize(1024);
    DWORD size = DWORD(raw.Data.size());
    raw.Status = RegQueryValueExW(key, WStr(name), nullptr, &raw.Type, raw.Data.data(), &size);
    raw.Data.resize(raw.Status == ERROR_SUCCESS ? size : 0);
    RegCloseKey(key);
    return raw;
}

// The string value, or nothing when ReadRegString fails.
std::optional<std::u16string> Read(int32_t root, const std::u16string& subkey, const std::u16string& name,
                                   bool view32) {
    std::u16string text = u"stale";
    if (ReadRegString(root, subkey, name, view32, text)) return text;
    EXPECT_EQ(text, u"");  // emptied on every failure too
    return std::nullopt;
}

bool KeyExists(int32_t root, const std::u16string& subkey, bool view32) {
    HKEY key;
    const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};
    if (RegOpenKeyExW(roots[root], WStr(subkey), 0, KEY_READ | (view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY),
                      &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A key of the test's own under Software, removed before and after.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        Key = u"Software\\KsTests\\" + KsTest::TestName();
        TearDown();
    }
    void TearDown() override {
        for (int32_t root : {kHkcu, kHklm})
            for (bool view32 : {kView32, kView64}) DeleteRegKeyTree(root, Key, view32);
    }
    std::u16string Key;
};

// A registry link at key pointing to target, both under HKLM in the 64-bit view.
void MakeLink(const std::u16string& key, const std::u16string& target) {
    HKEY link;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, WStr(key), 0, nullptr, REG_OPTION_CREATE_LINK,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &link, nullptr),
              ERROR_SUCCESS);
    const std::u16string path = u"\\Registry\\Machine\\" + target;
    EXPECT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(path.data()),
                             DWORD(path.size() * sizeof(char16_t))),
              ERROR_SUCCESS);
    RegCloseKey(link);
}

} // namespace

TEST(RegRootIndex, ShortAndLongNamesInAnyCase) {
    const struct {
        const char16_t* name;
        int32_t index;
    } cases[] = {
        {u"HKCR", 0}, {u"hkey_classes_root", 0}, {u"HKCU", 1}, {u"HKEY_CURRENT_USER", 1},
        {u" hklm ", 2}, {u"HKEY_LOCAL_MACHINE", 2}, {u"hku", 3}, {u"hkey_users", 3},
        {u"HKA", -1}, {u"", -1}, {u"HKLM\\Software", -1}, {u"HKEY_CURRENT_CONFIG", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(RegRootIndex(c.name), c.index) << KsTest::Narrow(c.name);
}

using RegistryValues = RegistryTest;

TEST_F(RegistryValues, StringsRoundTripWithTheirTypes) {
    ASSERT_TRUE(WriteRegString(kHkcu, Key, u"Plain", u"Olá, mundo", false, kView64));
    ASSERT_TRUE(WriteRegString(kHkcu, Key, u"Expand", u"%WINDIR%\\x", true, kView64));
    ASSERT_TRUE(WriteRegString(kHkcu, Key, u"Empty", u"", false, kView64));
    ASSERT_TRUE(WriteRegString(kHkcu, Key, u"", u"default", false, kView64));

    EXPECT_EQ(Read(kHkcu, Key, u"Plain", kView64), u"Olá, mundo");
    EXPECT_EQ(Read(kHkcu, Key, u"Expand", kView64), u"%WINDIR%\\x");  // returned unexpanded
    EXPECT_EQ(Read(kHkcu, Key, u"", kView64), u"default");
    EXPECT_EQ(Read(kHkcu, Key, u"Empty", kView64), u"");

    // The terminating NUL is stored: a lone NUL for the empty text.
    const RawValue empty = ReadRaw(HKEY_CURRENT_USER, Key, u"Empty", KEY_WOW64_64KEY);
    EXPECT_EQ(empty.Type, DWORD(REG_SZ));
    EXPECT_EQ(empty.Data, std::vector<uint8_t>(2, 0));
    const RawValue expand = ReadRaw(HKEY_CURRENT_USER, Key, u"Expand", KEY_WOW64_64KEY);
    EXPECT_EQ(expand.Type, DWORD(REG_EXPAND_SZ));
    EXPECT_EQ(expand.Data.size(), (std::u16string(u"%WINDIR%\\x").size() + 1) * 2);
}

TEST_F(RegistryValues, DwordsAreNotStrings) {
    ASSERT_TRUE(WriteRegDword(kHkcu, Key, u"Count", 0xA1B2C3D4, kView64));
    const RawValue raw = ReadRaw(HKEY_CURRENT_USER, Key, u"Count", KEY_WOW64_64KEY);
    EXPECT_EQ(raw.Type, DWORD(REG_DWORD));
    EXPECT_EQ(raw.Data, std::vector<uint8_t>({0xD4, 0xC3, 0xB2, 0xA1}));

    SetLastOsError(1234);
    EXPECT_EQ(Read(kHkcu, Key, u"Count", kView64), std::nullopt);
    EXPECT_EQ(Read(kHkcu, Key, u"Missing", kView64), std::nullopt);
    EXPECT_EQ(LastOsError(), 1234u);  // only a key that cannot be opened leaves a code
    EXPECT_EQ(Read(kHkcu, Key + u"\\Missing", u"x", kView64), std::nullopt);
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryValues, ThirtyTwoBitViewLandsUnderWow6432Node) {
    ASSERT_TRUE(WriteRegString(kHklm, Key, u"Which", u"64", false, kView64));
    ASSERT_TRUE(WriteRegString(kHklm, Key, u"Which", u"32", false, kView32));
    EXPECT_EQ(Read(kHklm, Key, u"Which", kView64), u"64");
    EXPECT_EQ(Read(kHklm, Key, u"Which", kView32), u"32");
    const std::u16string redirected = u"Software\\Wow6432Node\\KsTests\\" + KsTest::TestName();
    EXPECT_EQ(Read(kHklm, redirected, u"Which", kView64), u"32");

    // Each view deletes its own key only.
    DeleteRegKeyTree(kHklm, Key, kView32);
    EXPECT_FALSE(KeyExists(kHklm, redirected, kView64));
    EXPECT_EQ(Read(kHklm, Key, u"Which", kView64), u"64");
}

TEST_F(RegistryValues, RootOutsideTheTableWritesToLocalMachine) {
    ASSERT_TRUE(WriteRegString(7, Key, u"Where", u"seven", false, kView64));
    ASSERT_TRUE(WriteRegDword(-1, Key, u"Minus", 1, kView64));
    EXPECT_EQ(Read(kHklm, Key, u"Where", kView64), u"seven");
    EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, Key, u"Minus", KEY_WOW64_64KEY).Status, ERROR_SUCCESS);
}

TEST_F(RegistryValues, DeleteValueLeavesTheKey) {
    ASSERT_TRUE(WriteRegString(kHkcu, Key, u"Gone", u"x", false, kView64));
    ASSERT_TRUE(WriteRegString(kHkcu, Key, u"Kept", u"y", false, kView64));
    DeleteRegValue(kHkcu, Key, u"Gone", kView64);
    EXPECT_EQ(Read(kHkcu, Key, u"Gone", kView64), std::nullopt);
    EXPECT_EQ(Read(kHkcu, Key, u"Kept", kView64), u"y");
    SetLastOsError(0);
    DeleteRegValue(kHkcu, Key + u"\\Missing", u"Kept", kView64);
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_FILE_NOT_FOUND));
}

using RegistryKeys = RegistryTest;

TEST_F(RegistryKeys, ListSubkeysNamesTheDirectChildrenOnly) {
    for (const char16_t* sub : {u"\\alpha", u"\\Beta\\inner", u"\\gamma"})
        ASSERT_TRUE(WriteRegDword(kHkcu, Key + sub, u"v", 1, kView64));
    TStringArray names = ListRegSubkeys(kHkcu, Key, kView64);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, TStringArray({u"Beta", u"alpha", u"gamma"}));

    SetLastOsError(0);
    EXPECT_TRUE(ListRegSubkeys(kHkcu, Key + u"\\Missing", kView64).empty());
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryKeys, TreeDeletionGoesSeveralLevelsDeep) {
    for (const char16_t* sub : {u"\\a\\b\\c\\d", u"\\a\\b2", u"\\e"}) {
        ASSERT_TRUE(WriteRegString(kHkcu, Key + sub, u"", u"default", false, kView64));
        ASSERT_TRUE(WriteRegDword(kHkcu, Key + sub, u"n", 2, kView64));
    }
    ASSERT_TRUE(WriteRegString(kHkcu, Key, u"top", u"t", false, kView64));
    ASSERT_TRUE(WriteRegString(kHkcu, u"Software\\KsTests\\" + KsTest::TestName() + u"Sibling", u"s", u"s",
                               false, kView64));

    DeleteRegKeyTree(kHkcu, Key, kView64);
    EXPECT_FALSE(KeyExists(kHkcu, Key, kView64));
    // A key whose name merely begins the same stays.
    const std::u16string sibling = Key + u"Sibling";
    EXPECT_TRUE(KeyExists(kHkcu, sibling, kView64));
    DeleteRegKeyTree(kHkcu, sibling, kView64);

    SetLastOsError(0);
    DeleteRegKeyTree(kHkcu, Key, kView64);
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryKeys, OnlyAnEmptyKeyIsDeletedIfEmpty) {
    const std::u16string withDefault = Key + u"\\WithDefault";
    const std::u16string withChild = Key + u"\\WithChild";
    const std::u16string empty = Key + u"\\Empty";
    ASSERT_TRUE(WriteRegString(kHkcu, withDefault, u"", u"only the default", false, kView64));
    ASSERT_TRUE(WriteRegDword(kHkcu, withChild + u"\\Child", u"v", 1, kView64));
    ASSERT_TRUE(WriteRegDword(kHkcu, empty, u"v", 1, kView64));
    DeleteRegValue(kHkcu, empty, u"v", kView64);

    DeleteRegKeyIfEmpty(kHkcu, withDefault, kView64);
    DeleteRegKeyIfEmpty(kHkcu, withChild, kView64);
    DeleteRegKeyIfEmpty(kHkcu, empty, kView64);
    EXPECT_TRUE(KeyExists(kHkcu, withDefault, kView64));
    EXPECT_TRUE(KeyExists(kHkcu, withChild, kView64));
    EXPECT_FALSE(KeyExists(kHkcu, empty, kView64));
}

TEST_F(RegistryKeys, DeletionsNamingAWholeRootAreRefused) {
    // Written straight onto the root: an empty key path would reach it.
    const std::u16string rootValue = u"KsTests-" + KsTest::TestName();
    ASSERT_TRUE(WriteRegString(kHkcu, u"", rootValue, u"x", false, kView64));
    SetLastOsError(0);
    DeleteRegValue(kHkcu, u"", rootValue, kView64);
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_INVALID_PARAMETER));
    SetLastOsError(0);
    DeleteRegValue(kHkcu, u"\\", rootValue, kView64);
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Read(kHkcu, u"", rootValue, kView64), u"x");
    HKEY root;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"", 0, KEY_SET_VALUE, &root), ERROR_SUCCESS);
    RegDeleteValueW(root, WStr(rootValue));
    RegCloseKey(root);

    // A root index outside the table is not taken as HKEY_LOCAL_MACHINE here.
    ASSERT_TRUE(WriteRegDword(kHklm, Key + u"\\Child", u"v", 1, kView64));
    for (int32_t badRoot : {-1, 4, 7}) {
        SetLastOsError(0);
        DeleteRegKeyTree(badRoot, Key, kView64);
        EXPECT_EQ(LastOsError(), uint32_t(ERROR_INVALID_PARAMETER));
        DeleteRegKeyIfEmpty(badRoot, Key + u"\\Child", kView64);
        DeleteRegValue(badRoot, Key + u"\\Child", u"v", kView64);
    }
    EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, Key + u"\\Child", u"v", KEY_WOW64_64KEY).Status, ERROR_SUCCESS);
}

TEST_F(RegistryKeys, DeletionsNeverFollowARegistryLink) {
    // What the links point to: a key with a value and a subkey, and an empty one.
    const std::u16string target = Key + u"\\Target";
    const std::u16string emptyTarget = Key + u"\\EmptyTarget";
    ASSERT_TRUE(WriteRegDword(kHklm, target, u"kept", 1, kView64));
    ASSERT_TRUE(WriteRegDword(kHklm, target + u"\\Inner", u"kept", 2, kView64));
    ASSERT_TRUE(CreateRegKey(kHklm, emptyTarget, kView64));
    const std::u16string tree = Key + u"\\Tree";
    ASSERT_TRUE(WriteRegDword(kHklm, tree + u"\\Own", u"v", 3, kView64));
    MakeLink(tree + u"\\Link", target);
    MakeLink(Key + u"\\Direct", target);
    MakeLink(Key + u"\\ToEmpty", emptyTarget);
    ASSERT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, tree + u"\\Link\\Inner", u"kept", KEY_WOW64_64KEY).Status, ERROR_SUCCESS);

    DeleteRegValue(kHklm, Key + u"\\Direct", u"kept", kView64);
    DeleteRegKeyIfEmpty(kHklm, Key + u"\\ToEmpty", kView64);
    DeleteRegKeyTree(kHklm, tree, kView64);
    DeleteRegKeyTree(kHklm, Key + u"\\Direct", kView64);

    EXPECT_FALSE(KeyExists(kHklm, tree, kView64));
    EXPECT_FALSE(KeyExists(kHklm, Key + u"\\Direct", kView64));
    EXPECT_TRUE(KeyExists(kHklm, Key + u"\\ToEmpty", kView64));
    EXPECT_TRUE(KeyExists(kHklm, emptyTarget, kView64));
    EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, target, u"kept", KEY_WOW64_64KEY).Status, ERROR_SUCCESS);
    EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, target + u"\\Inner", u"kept", KEY_WOW64_64KEY).Status, ERROR_SUCCESS);

    // The whole test key, links and targets alike, goes at the end.
    DeleteRegKeyTree(kHklm, Key, kView64);
    EXPECT_FALSE(KeyExists(kHklm, Key, kView64));
}
