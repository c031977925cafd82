// The journal's registry writer: an item added to a real ";" list value.
#include <gtest/gtest.h>
#include <windows.h>

#include "KS.Journal.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Registry.h"
#include "KS.Test.Sandbox.h"
#include "TestSupport.h"
#include "System.Remainder.Os.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;

namespace {

// The value's type and text as the registry holds them.
struct TRawValue {
    DWORD Type = REG_NONE;
    std::u16string Text;
};

TRawValue ReadRaw(HKEY root, const std::u16string& key, const std::u16string& name) {
    TRawValue value;
    wchar_t buffer[512] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(root, System::WStr(key), System::WStr(name), RRF_RT_ANY | RRF_NOEXPAND, &value.Type, buffer,
                     &size) == ERROR_SUCCESS &&
        (value.Type == REG_SZ || value.Type == REG_EXPAND_SZ))
        value.Text = System::FromWStr(buffer);
    return value;
}

} // namespace

TEST(JournalList, ListItemRecordBytes) {
    TTestKey key;
    auto journal = MakeRef<TJournal>();
    ASSERT_TRUE(journal->AddRegListItem(1, false, key.Path(), u"Path", u"C:\\Dax\\Bin"));
    ASSERT_EQ(journal->Records().size(), 1u);
    EXPECT_EQ(journal->Records()[0], u"PA|1|64|" + key.Path() + u"|Path|C:\\Dax\\Bin");
}

TEST(JournalList, AddItemToRealRegistryValues) {
    struct Case {
        const char* Name;
        const char16_t* Before;  // null: no value
        const char16_t* After;
    };
    const Case cases[] = {
        {"no value", nullptr, u"C:\\Dax\\Bin"},
        {"empty value", u"", u"C:\\Dax\\Bin"},
        {"blank value", u"   ", u"C:\\Dax\\Bin"},
        {"plain list", u"C:\\A;C:\\B", u"C:\\A;C:\\B;C:\\Dax\\Bin"},
        {"list ending in a separator", u"C:\\A;", u"C:\\A;C:\\Dax\\Bin"},
        {"list ending in a blank", u"C:\\A; ", u"C:\\A; ;C:\\Dax\\Bin"},
    };
    TTestKey key;
    for (const Case& c : cases) {
        DeleteRegValue(1, key.Path(), u"Path", false);
        if (c.Before) {
            ASSERT_TRUE(WriteRegString(1, key.Path(), u"Path", c.Before, false, false));
        }
        auto journal = MakeRef<TJournal>();
        EXPECT_TRUE(journal->AddRegListItem(1, false, key.Path(), u"Path", u"C:\\Dax\\Bin")) << c.Name;
        const TRawValue value = ReadRaw(HKEY_CURRENT_USER, key.Path(), u"Path");
        EXPECT_EQ(value.Type, DWORD{REG_EXPAND_SZ}) << c.Name;
        EXPECT_EQ(value.Text, c.After) << c.Name;
        EXPECT_EQ(journal->Records(),
                  (std::vector<std::u16string>{u"PA|1|64|" + key.Path() + u"|Path|C:\\Dax\\Bin"}))
            << c.Name;
    }
}

TEST(JournalList, ItemAlreadyListedIsNeitherWrittenNorRecorded) {
    TTestKey key;
    ASSERT_TRUE(WriteRegString(1, key.Path(), u"Path", u"C:\\A;c:\\dax\\bin\\;C:\\B", false, true));
    auto journal = MakeRef<TJournal>();
    EXPECT_TRUE(journal->AddRegListItem(1, true, key.Path(), u"Path", u"C:\\Dax\\Bin"));
    const TRawValue value = ReadRaw(HKEY_CURRENT_USER, key.Path(), u"Path");
    EXPECT_EQ(value.Type, DWORD{REG_SZ});  // not rewritten
    EXPECT_EQ(value.Text, u"C:\\A;c:\\dax\\bin\\;C:\\B");
    EXPECT_TRUE(journal->Records().empty());
}

TEST(JournalList, UnreadableValueIsNeverReplacedByTheItemAlone) {
    TTestKey key;
    ASSERT_TRUE(WriteRegDword(1, key.Path(), u"Path", 7, false));
    auto journal = MakeRef<TJournal>();
    EXPECT_FALSE(journal->AddRegListItem(1, false, key.Path(), u"Path", u"C:\\Dax\\Bin"));
    EXPECT_EQ(LastOsError(), uint32_t{ERROR_DATATYPE_MISMATCH});
    DWORD type = 0, data = 0, size = sizeof(data);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, System::WStr(key.Path()), L"Path", RRF_RT_ANY, &type, &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_DWORD});
    EXPECT_EQ(data, 7u);
    EXPECT_TRUE(journal->Records().empty());
}
