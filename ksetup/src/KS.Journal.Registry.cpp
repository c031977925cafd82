// The journal's one writer that changes the system: an item added to a ";"
// list held by a registry value, such as PATH.
#include "KS.Journal.h"

#include <windows.h>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

// The registry's own answer about a value: ERROR_FILE_NOT_FOUND when it (or
// its key) is missing, ERROR_SUCCESS when it is there, whatever its type.
uint32_t RegValueStatus(uint32_t root, bool view32, const std::u16string& key, const std::u16string& name) {
    static System::TLazyProc<decltype(&::RegOpenKeyExW)> regOpenKeyEx(u"advapi32.dll", "RegOpenKeyExW");
    static System::TLazyProc<decltype(&::RegQueryValueExW)> regQueryValueEx(u"advapi32.dll", "RegQueryValueExW");
    static System::TLazyProc<decltype(&::RegCloseKey)> regCloseKey(u"advapi32.dll", "RegCloseKey");
    // The registry services take a root outside 0..3 as HKEY_LOCAL_MACHINE.
    const HKEY rootKey = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u + (root <= 3 ? root : 2)));
    const REGSAM access = KEY_QUERY_VALUE | (view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
    HKEY opened = nullptr;
    LSTATUS status = regOpenKeyEx()(rootKey, System::WStr(key), 0, access, &opened);
    if (status != ERROR_SUCCESS) return static_cast<uint32_t>(status);
    status = regQueryValueEx()(opened, System::WStr(name), nullptr, nullptr, nullptr, nullptr);
    regCloseKey()(opened);
    return static_cast<uint32_t>(status);
}

// Why a list value could not be read matters: only its absence (or its key's)
// makes an empty list. A value of another type, or one that changed while it
// was read, must not be replaced by the item alone: that would wipe the list.
bool ReadListValue(uint32_t root, bool view32, const std::u16string& key,
                   const std::u16string& name, std::u16string& list) {
    if (ReadRegString(static_cast<int32_t>(root), key, name, view32, list)) return true;
    const uint32_t status = RegValueStatus(root, view32, key, name);
    if (status == ERROR_FILE_NOT_FOUND) {
        list.clear();
        return true;
    }
    SetLastOsError(status == ERROR_SUCCESS ? ERROR_DATATYPE_MISMATCH : status);
    return false;
}

} // namespace

bool TJournal::AddRegListItem(uint32_t root, bool view32, const std::u16string& key,
                              const std::u16string& name, const std::u16string& item) {
    std::u16string list;
    if (!ReadListValue(root, view32, key, name, list)) return false;
    if (ListContainsItem(list, item)) return true;
    std::u16string updated;
    if (TrimText(list).empty())
        updated = item;
    else if (list.back() == u';')
        updated = list + item;
    else
        updated = list + u";" + item;
    if (!WriteRegString(static_cast<int32_t>(root), key, name, updated, true, view32)) return false;
    AddListItemRecord(root, view32, key, name, item);
    return true;
}

} // namespace KS
