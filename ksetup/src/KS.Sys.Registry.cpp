#include "KS.Sys.Registry.h"

#include <windows.h>

#include <vector>

#include "KS.Sys.Errors.h"
#include "System.Remainder.Os.h"

using System::FromWStr;
using System::TLazyProc;
using System::WStr;

namespace KS {

namespace {

TLazyProc<decltype(&::RegCreateKeyExW)> pRegCreateKeyExW(u"advapi32.dll", "RegCreateKeyExW");
TLazyProc<decltype(&::RegOpenKeyExW)> pRegOpenKeyExW(u"advapi32.dll", "RegOpenKeyExW");
TLazyProc<decltype(&::RegCloseKey)> pRegCloseKey(u"advapi32.dll", "RegCloseKey");
TLazyProc<decltype(&::RegSetValueExW)> pRegSetValueExW(u"advapi32.dll", "RegSetValueExW");
TLazyProc<decltype(&::RegQueryValueExW)> pRegQueryValueExW(u"advapi32.dll", "RegQueryValueExW");
TLazyProc<decltype(&::RegDeleteValueW)> pRegDeleteValueW(u"advapi32.dll", "RegDeleteValueW");
TLazyProc<decltype(&::RegEnumKeyExW)> pRegEnumKeyExW(u"advapi32.dll", "RegEnumKeyExW");
TLazyProc<decltype(&::RegQueryInfoKeyW)> pRegQueryInfoKeyW(u"advapi32.dll", "RegQueryInfoKeyW");
// A key is deleted through its own handle: RegDeleteKeyExW takes a path and
// follows a registry link in its last part, deleting what the link names.
TLazyProc<LONG(NTAPI*)(HANDLE)> pNtDeleteKey(u"ntdll.dll", "NtDeleteKey");
TLazyProc<ULONG(NTAPI*)(LONG)> pRtlNtStatusToDosError(u"ntdll.dll", "RtlNtStatusToDosError");

HKEY RootKey(int32_t root) {
    switch (root) {
    case 0: return HKEY_CLASSES_ROOT;
    case 1: return HKEY_CURRENT_USER;
    case 3: return HKEY_USERS;
    default: return HKEY_LOCAL_MACHINE;
    }
}

REGSAM ViewBit(bool view32) { return view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

// An open key, closed when it goes.
struct TOpenKey {
    HKEY Key = nullptr;
    TOpenKey() = default;
    TOpenKey(const TOpenKey&) = delete;
    TOpenKey& operator=(const TOpenKey&) = delete;
    ~TOpenKey() {
        if (Key) pRegCloseKey()(Key);
    }
};

bool OpenKey(int32_t root, const std::u16string& subkey, REGSAM access, bool view32, TOpenKey& key) {
    const LONG status = pRegOpenKeyExW()(RootKey(root), WStr(subkey), 0, access | ViewBit(view32), &key.Key);
    if (status != ERROR_SUCCESS) {
        key.Key = nullptr;
        SetLastOsError(status);
        return false;
    }
    return true;
}

// Opens the key that the path names itself, also when it is a registry
// link: the deletions never act on what a link points to.
bool OpenKeyNotFollowed(HKEY parent, const std::u16string& subkey, REGSAM access, bool view32, TOpenKey& key) {
    const LONG status =
        pRegOpenKeyExW()(parent, WStr(subkey), REG_OPTION_OPEN_LINK, access | ViewBit(view32), &key.Key);
    if (status != ERROR_SUCCESS) {
        key.Key = nullptr;
        SetLastOsError(status);
        return false;
    }
    return true;
}

// Deletes the open key itself (a link key, not its target); a key that
// still has subkeys stays. The failure's status goes to LastOsError.
void DeleteOpenKey(HKEY key) {
    const LONG status = pNtDeleteKey()(key);
    if (status != 0) SetLastOsError(pRtlNtStatusToDosError()(status));
}

TStringArray SubkeyNames(HKEY key) {
    TStringArray names;
    wchar_t name[512];
    for (DWORD index = 0;; ++index) {
        DWORD length = 512;
        if (pRegEnumKeyExW()(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(std::u16string(reinterpret_cast<const char16_t*>(name), length));
    }
    return names;
}

// The subtree below the open key, deepest first, then the key. A link key
// has no subkeys of its own, so the walk never enters what it points to.
void DeleteOpenKeyTree(HKEY key, bool view32) {
    for (const std::u16string& name : SubkeyNames(key)) {
        TOpenKey child;
        if (OpenKeyNotFollowed(key, name, KEY_READ | DELETE, view32, child)) DeleteOpenKeyTree(child.Key, view32);
    }
    DeleteOpenKey(key);
}

bool CreateKey(int32_t root, const std::u16string& subkey, bool view32, TOpenKey& key) {
    DWORD disposition = 0;
    const LONG status = pRegCreateKeyExW()(RootKey(root), WStr(subkey), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_WRITE | ViewBit(view32), nullptr, &key.Key, &disposition);
    if (status != ERROR_SUCCESS) {
        key.Key = nullptr;
        SetLastOsError(status);
        return false;
    }
    return true;
}

bool WriteValue(int32_t root, const std::u16string& subkey, const std::u16string& valueName, DWORD type,
                const void* data, DWORD size, bool view32) {
    TOpenKey key;
    if (!CreateKey(root, subkey, view32, key)) return false;
    const LONG status = pRegSetValueExW()(key.Key, WStr(valueName), 0, type, static_cast<const BYTE*>(data), size);
    if (status != ERROR_SUCCESS) {
        SetLastOsError(status);
        return false;
    }
    return true;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// A deletion that would reach a whole root (an empty key path) or a root
// chosen by default (an index outside 0..3) is refused.
bool RefuseDeletion(int32_t root, const std::u16string& subkey) {
    const bool namesARoot = subkey.find_first_not_of(u'\\') == std::u16string::npos;
    if (root >= 0 && root <= 3 && !namesARoot) return false;
    SetLastOsError(ERROR_INVALID_PARAMETER);
    return true;
}

} // namespace

int32_t RegRootIndex(const std::u16string& rootName) {
    static const char16_t* const kNames[4][2] = {
        {u"HKCR", u"HKEY_CLASSES_ROOT"},
        {u"HKCU", u"HKEY_CURRENT_USER"},
        {u"HKLM", u"HKEY_LOCAL_MACHINE"},
        {u"HKU", u"HKEY_USERS"},
    };
    const std::u16string name = AsciiUpperCase(TrimText(rootName));
    for (int32_t i = 0; i < 4; ++i)
        if (name == kNames[i][0] || name == kNames[i][1]) return i;
    return -1;
}

bool WriteRegString(int32_t root, const std::u16string& subkey, const std::u16string& valueName,
                    const std::u16string& data, bool expandable, bool view32) {
    return WriteValue(root, subkey, valueName, expandable ? REG_EXPAND_SZ : REG_SZ, data.c_str(),
                      DWORD((data.size() + 1) * sizeof(char16_t)), view32);
}

bool WriteRegDword(int32_t root, const std::u16string& subkey, const std::u16string& valueName,
                   uint32_t value, bool view32) {
    const DWORD data = value;
    return WriteValue(root, subkey, valueName, REG_DWORD, &data, sizeof data, view32);
}

bool ReadRegString(int32_t root, const std::u16string& subkey, const std::u16string& valueName, bool view32,
                   std::u16string& text) {
    text.clear();
    TOpenKey key;
    if (!OpenKey(root, subkey, KEY_READ, view32, key)) return false;
    DWORD type = 0;
    DWORD size = 0;
    if (pRegQueryValueExW()(key.Key, WStr(valueName), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        !IsStringType(type))
        return false;
    // Zero-filled with room to spare, so the text always ends in a NUL even
    // when the stored data has none.
    std::vector<wchar_t> buffer(size / 2 + 2, L'\0');
    DWORD bytes = DWORD((buffer.size() - 1) * sizeof(wchar_t));
    if (pRegQueryValueExW()(key.Key, WStr(valueName), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                            &bytes) != ERROR_SUCCESS ||
        !IsStringType(type))
        return false;
    text = FromWStr(buffer.data());
    return true;
}

bool CreateRegKey(int32_t root, const std::u16string& subkey, bool view32) {
    TOpenKey key;
    return CreateKey(root, subkey, view32, key);
}

bool RegKeyExists(int32_t root, const std::u16string& subkey, bool view32) {
    TOpenKey key;
    return OpenKey(root, subkey, KEY_READ, view32, key);
}

bool RegValueExists(int32_t root, const std::u16string& subkey, const std::u16string& valueName, bool view32) {
    TOpenKey key;
    if (!OpenKey(root, subkey, KEY_READ, view32, key)) return false;
    const LONG status = pRegQueryValueExW()(key.Key, WStr(valueName), nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) SetLastOsError(status);
    return status == ERROR_SUCCESS;
}

TStringArray ListRegSubkeys(int32_t root, const std::u16string& subkey, bool view32) {
    TOpenKey key;
    if (!OpenKey(root, subkey, KEY_READ, view32, key)) return {};
    return SubkeyNames(key.Key);
}

void DeleteRegValue(int32_t root, const std::u16string& subkey, const std::u16string& valueName, bool view32) {
    if (RefuseDeletion(root, subkey)) return;
    TOpenKey key;
    if (!OpenKeyNotFollowed(RootKey(root), subkey, KEY_SET_VALUE, view32, key)) return;
    pRegDeleteValueW()(key.Key, WStr(valueName));
}

void DeleteRegKeyTree(int32_t root, const std::u16string& subkey, bool view32) {
    if (RefuseDeletion(root, subkey)) return;
    TOpenKey key;
    if (OpenKeyNotFollowed(RootKey(root), subkey, KEY_READ | DELETE, view32, key)) DeleteOpenKeyTree(key.Key, view32);
}

void DeleteRegKeyIfEmpty(int32_t root, const std::u16string& subkey, bool view32) {
    if (RefuseDeletion(root, subkey)) return;
    TOpenKey key;
    if (!OpenKeyNotFollowed(RootKey(root), subkey, KEY_READ | DELETE, view32, key)) return;
    // A link key holds its link as a value, so it never counts as empty.
    DWORD subkeys = 0;
    DWORD values = 0;
    const LONG status = pRegQueryInfoKeyW()(key.Key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                            nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS && subkeys == 0 && values == 0) DeleteOpenKey(key.Key);
}

} // namespace KS
