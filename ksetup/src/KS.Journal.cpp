#include "KS.Journal.h"

#include "KS.Sys.Text.h"

namespace KS {

namespace {

constexpr char16_t JournalHeaderPrefix[] = u"KSETUP-JOURNAL";
constexpr char16_t MetaTag[] = u"M|";

std::u16string RegPrefix(const char16_t* tag, uint32_t root, bool view32, const std::u16string& key) {
    return tag + System::Int64ToStr(root) + u"|" + RegViewText(view32) + u"|" + key;
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

void TJournal::AddListItemRecord(uint32_t root, bool view32, const std::u16string& key, const std::u16string& name,
                                 const std::u16string& item) {
    Add(RegPrefix(u"PA|", root, view32, key) + u"|" + name + u"|" + item);
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

std::vector<std::u16string> TJournal::Folders() const {
    std::vector<std::u16string> folders;
    for (const std::u16string& record : records_)
        if (HasPrefix(record, u"D|") && !Existed(record)) folders.push_back(record.substr(2));
    return folders;
}

void TJournal::AddRecordLine(const std::u16string& record) {
    Append(record);
}

void TJournal::MergeRecords(const TJournal& other) {
    for (const std::u16string& record : other.records_)
        if (!HasPrefix(record, MetaTag)) Add(record, true);
}

std::u16string TJournal::ToText() const {
    std::u16string text = std::u16string(JournalHeaderLine) + u"\r\n";
    for (const std::u16string& record : records_) text += record + u"\r\n";
    return text;
}

bool TJournal::ParseText(std::u16string_view text) {
    Clear();
    const std::vector<std::u16string> lines = SplitLines(text);
    if (lines.empty() || !HasPrefix(lines[0], JournalHeaderPrefix)) return false;
    for (size_t i = 1; i < lines.size(); ++i)
        if (!lines[i].empty()) Append(lines[i]);
    return true;
}

std::u16string JournalField(const std::u16string& line, int n, int count) {
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        const size_t bar = line.find(u'|', start);
        if (bar == std::u16string::npos) return {};
        start = bar + 1;
    }
    if (n >= count - 1) return line.substr(start);
    const size_t end = line.find(u'|', start);
    return line.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
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
