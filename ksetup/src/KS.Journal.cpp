#include "KS.Journal.h"

#include <windows.h>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

constexpr char16_t JournalHeaderPrefix[] = u"KSETUP-JOURNAL";
constexpr char16_t MetaTag[] = u"M|";

std::u16string RegPrefix(const char16_t* tag, uint32_t root, bool view32, const std::u16string& key) {
    return tag + System::Int64ToStr(root) + u"|" + RegViewText(view32) + u"|" + key;
}

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

bool IsListElementOf(const std::u16string& element, const std::u16string& item) {
    return EqualsIgnoreCase(StripTrailingBackslashes(TrimText(element)), StripTrailingBackslashes(item));
}

} // namespace

void TJournal::Clear() {
    records_.clear();
    folded_.clear();
    existing_.clear();
    RebootNeeded = false;
}

bool TJournal::Contains(const std::u16string& record) const {
    return folded_.count(AsciiUpperCase(record)) != 0;
}

void TJournal::Append(std::u16string record) {
    folded_.insert(AsciiUpperCase(record));
    records_.push_back(std::move(record));
}

void TJournal::Add(std::u16string record, bool existed) {
    if (Contains(record)) return;
    if (existed) existing_.insert(AsciiUpperCase(record));
    Append(std::move(record));
}

bool TJournal::Existed(const std::u16string& record) const {
    return existing_.count(AsciiUpperCase(record)) != 0;
}

void TJournal::AddFile(const std::u16string& path, bool existed) {
    Add(u"F|" + path, existed);
}

void TJournal::AddDir(const std::u16string& path) {
    Add(u"D|" + path);
}

void TJournal::AddRegKey(uint32_t root, bool view32, const std::u16string& key, bool existed) {
    Add(RegPrefix(u"RK|", root, view32, key), existed);
}

void TJournal::AddRegKeyIfEmpty(uint32_t root, bool view32, const std::u16string& key, bool existed) {
    Add(RegPrefix(u"RE|", root, view32, key), existed);
}

void TJournal::AddRegValue(uint32_t root, bool view32, const std::u16string& key, const std::u16string& name,
                           bool existed) {
    Add(RegPrefix(u"RV|", root, view32, key) + u"|" + name, existed);
}

void TJournal::AddDelete(const std::u16string& type, const std::u16string& path, bool existed) {
    Add(u"X|" + type + u"|" + path, existed);
}

void TJournal::AddRun(const std::u16string& program, const std::u16string& parameters,
                      const std::u16string& folder, const std::u16string& flags) {
    Add(u"R|" + program + u"|" + parameters + u"|" + folder + u"|" + flags);
}

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
    Add(RegPrefix(u"PA|", root, view32, key) + u"|" + name + u"|" + item);
    return true;
}

void TJournal::SetMeta(const std::u16string& name, const std::u16string& value) {
    const std::u16string key = MetaTag + name + u"|";
    for (std::u16string& record : records_) {
        if (HasPrefix(record, key)) {
            folded_.erase(folded_.find(AsciiUpperCase(record)));
            record = key + value;
            folded_.insert(AsciiUpperCase(record));
            return;
        }
    }
    Append(key + value);
}

std::u16string TJournal::GetMeta(const std::u16string& name, const std::u16string& defaultValue) const {
    const std::u16string key = MetaTag + name + u"|";
    for (const std::u16string& record : records_)
        if (HasPrefix(record, key)) return record.substr(key.size());
    return defaultValue;
}

void TJournal::AddRecordLine(const std::u16string& record) {
    Append(record);
}

void TJournal::MergeRecords(const TJournal& other) {
    for (const std::u16string& record : other.records_)
        if (!HasPrefix(record, MetaTag)) Add(record, true);
}

bool TJournal::SaveToFile(const std::u16string& path) const {
    std::u16string text = std::u16string(JournalHeaderLine) + u"\r\n";
    for (const std::u16string& record : records_) text += record + u"\r\n";
    const System::TBytes bytes = StringToUtf8Bytes(text);
    const std::u16string temporary = path + u".ksetup.tmp";
    if (!WriteFileBytes(temporary, bytes.data(), static_cast<int64_t>(bytes.size()))) {
        const uint32_t reason = LastOsError();
        DeleteFileW(System::WStr(temporary));
        SetLastOsError(reason);
        return false;
    }
    if (!MoveFileExW(System::WStr(temporary), System::WStr(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const uint32_t reason = GetLastError();
        DeleteFileW(System::WStr(temporary));
        SetLastOsError(reason);
        return false;
    }
    return true;
}

bool TJournal::LoadFromFile(const std::u16string& path) {
    Clear();
    std::u16string text;
    if (!ReadTextFile(path, text)) return false;
    const std::vector<std::u16string> lines = SplitLines(text);
    if (lines.empty() || !HasPrefix(lines[0], JournalHeaderPrefix)) return false;
    for (size_t i = 1; i < lines.size(); ++i)
        if (!lines[i].empty()) Append(lines[i]);
    return true;
}

std::u16string RegViewText(bool view32) {
    return view32 ? u"32" : u"64";
}

bool ListContainsItem(const std::u16string& list, const std::u16string& item) {
    for (const std::u16string& element : SplitByChar(list, u';'))
        if (IsListElementOf(element, item)) return true;
    return false;
}

std::u16string ListRemoveItem(const std::u16string& list, const std::u16string& item) {
    std::u16string kept;
    bool first = true;
    for (const std::u16string& element : SplitByChar(list, u';')) {
        if (TrimText(element).empty() || IsListElementOf(element, item)) continue;
        if (!first) kept += u';';
        kept += element;
        first = false;
    }
    return kept;
}

} // namespace KS
