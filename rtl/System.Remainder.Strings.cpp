#include "System.Remainder.Strings.h"

#include <algorithm>
#include <new>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Text.h"

namespace System {

void RaiseStringListError(const std::u16string& message, int64_t number) {
    throw EListError(message + u" (" + Int64ToStr(number) + u")");
}

// ---- TStrings ------------------------------------------------------------------

TRef<TObject> TStrings::GetObject(int32_t) const {
    return nullptr;
}

int64_t TStrings::GetItemData(int32_t) const {
    return 0;
}

void TStrings::PutObject(int32_t, TObject*) {}

void TStrings::PutItemData(int32_t, int64_t) {}

int32_t TStrings::GetCapacity() const {
    return GetCount();
}

void TStrings::SetCapacity(int32_t) {}

void TStrings::SetUpdateState(bool) {}

void TStrings::BeginUpdate() {
    if (updateCount_ == 0) SetUpdateState(true);
    ++updateCount_;
}

void TStrings::EndUpdate() {
    if (updateCount_ <= 0) return;
    if (--updateCount_ == 0) SetUpdateState(false);
}

std::u16string TStrings::GetText() const {
    const int32_t count = GetCount();
    std::u16string text;
    if (count == 0) return text;
    text.reserve(256);
    for (int32_t i = 0; i < count; ++i) {
        text += Get(i);
        text += LineBreak;
    }
    return text;
}

void TStrings::SetText(std::u16string_view text) {
    WithUpdate([&] {
        Clear();
        size_t start = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            const char16_t unit = text[i];
            if (unit != u'\r' && unit != u'\n') continue;
            Add(std::u16string(text.substr(start, i - start)));
            if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            start = i + 1;
        }
        if (start < text.size()) Add(std::u16string(text.substr(start)));
    });
}

void TStrings::Put(int32_t index, const std::u16string& s) {
    const TRef<TObject> object = GetObject(index);
    Delete(index);
    InsertObject(index, s, object.Get());
}

int32_t TStrings::CompareStrings(std::u16string_view a, std::u16string_view b) const {
    return CompareText(a, b);
}

int32_t TStrings::Add(const std::u16string& s) {
    const int32_t index = GetCount();
    Insert(index, s);
    return index;
}

int32_t TStrings::AddObject(const std::u16string& s, TObject* object) {
    const int32_t index = Add(s);
    PutObject(index, object);
    return index;
}

void TStrings::InsertObject(int32_t index, const std::u16string& s, TObject* object) {
    Insert(index, s);
    PutObject(index, object);
}

void TStrings::AddStrings(const TStrings& source) {
    WithUpdate([&] {
        const int32_t count = source.GetCount();
        for (int32_t i = 0; i < count; ++i) AddObject(source.Get(i), source.GetObject(i).Get());
    });
}

void TStrings::Assign(TPersistent* source) {
    if (source == this) return;
    const auto* list = dynamic_cast<const TStrings*>(source);
    if (!list) return TPersistent::Assign(source);
    WithUpdate([&] {
        Clear();
        AddStrings(*list);
    });
}

void TStrings::Exchange(int32_t i, int32_t j) {
    WithUpdate([&] {
        const std::u16string keptString = Get(i);
        const TRef<TObject> keptObject = GetObject(i);
        Put(i, Get(j));
        PutObject(i, GetObject(j).Get());
        Put(j, keptString);
        PutObject(j, keptObject.Get());
    });
}

void TStrings::Move(int32_t from, int32_t to) {
    if (from == to) return;
    WithUpdate([&] {
        const std::u16string s = Get(from);
        const TRef<TObject> object = GetObject(from);
        // Inserting first means a refused insert loses nothing; the indexes
        // account for the copy standing beside the original until it goes.
        if (from < to) {
            InsertObject(to + 1, s, object.Get());
            Delete(from);
        } else {
            InsertObject(to, s, object.Get());
            Delete(from + 1);
        }
    });
}

int32_t TStrings::IndexOf(std::u16string_view s) const {
    const int32_t count = GetCount();
    for (int32_t i = 0; i < count; ++i)
        if (CompareStrings(Get(i), s) == 0) return i;
    return -1;
}

int32_t TStrings::IndexOfName(std::u16string_view name) const {
    const int32_t count = GetCount();
    for (int32_t i = 0; i < count; ++i) {
        const std::u16string s = Get(i);
        const size_t separator = s.find(NameValueSeparator);
        if (separator != std::u16string::npos &&
            CompareStrings(std::u16string_view(s).substr(0, separator), name) == 0)
            return i;
    }
    return -1;
}

int32_t TStrings::IndexOfObject(const TObject* object) const {
    const int32_t count = GetCount();
    for (int32_t i = 0; i < count; ++i)
        if (GetObject(i).Get() == object) return i;
    return -1;
}

int32_t TStrings::IndexOfItemData(int64_t data) const {
    const int32_t count = GetCount();
    for (int32_t i = 0; i < count; ++i)
        if (GetItemData(i) == data) return i;
    return -1;
}

void TStrings::LoadFromStream(TStream& stream) {
    const int64_t size = stream.GetSize();
    const int64_t count = size - stream.Seek(0, soCurrent);
    TBytes bytes;
    if (count > 0) {
        if (uint64_t(count) > bytes.max_size()) throw EOutOfMemory();
        try {
            bytes.resize(size_t(count));
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory();
        }
        stream.ReadBuffer(bytes.data(), count);
    }
    SetText(GetUtf8Encoding()->GetUString(bytes));
}

void TStrings::SaveToStream(TStream& stream) const {
    const TBytes bytes = GetUtf8Encoding()->GetBytes(GetText());
    if (!bytes.empty()) stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
}

void TStrings::LoadFromStreamEncoded(TStream& stream, TRef<TEncoding>) {
    LoadFromStream(stream);
}

void TStrings::SaveToStreamEncoded(TStream& stream, TRef<TEncoding>) const {
    SaveToStream(stream);
}

void TStrings::LoadFromFileEncoded(const std::u16string& fileName, TRef<TEncoding>) {
    LoadFromFile(fileName);
}

void TStrings::SaveToFileEncoded(const std::u16string& fileName, TRef<TEncoding>) const {
    SaveToFile(fileName);
}

// ---- TStringList ---------------------------------------------------------------

namespace {

// Halfway between two indexes, without overflow.
int32_t Middle(int32_t low, int32_t high) {
    return int32_t((uint32_t(low) + uint32_t(high)) >> 1);
}

} // namespace

void TStringList::CheckIndex(int32_t index) const {
    if (index < 0 || index >= count_) RaiseStringListError(u"índice fora da lista", index);
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::SetUpdateState(bool updating) {
    if (updating) Changing();
    else Changed();
}

std::u16string TStringList::Get(int32_t index) const {
    CheckIndex(index);
    return items_[size_t(index)].String;
}

TRef<TObject> TStringList::GetObject(int32_t index) const {
    CheckIndex(index);
    return items_[size_t(index)].Object;
}

int64_t TStringList::GetItemData(int32_t index) const {
    CheckIndex(index);
    return items_[size_t(index)].Data;
}

void TStringList::Put(int32_t index, const std::u16string& s) {
    if (sorted_) RaiseStringListError(u"não se grava direto numa lista ordenada", index);
    CheckIndex(index);
    Changing();
    items_[size_t(index)].String = s;
    Changed();
}

void TStringList::PutObject(int32_t index, TObject* object) {
    CheckIndex(index);
    Changing();
    items_[size_t(index)].Object = object;
    Changed();
}

void TStringList::PutItemData(int32_t index, int64_t data) {
    CheckIndex(index);
    items_[size_t(index)].Data = data;
    Changed();
}

void TStringList::SetCapacity(int32_t capacity) {
    items_.resize(size_t(std::max(capacity, count_)));
}

void TStringList::InsertItem(int32_t index, const std::u16string& s, TObject* object) {
    Changing();
    if (count_ == GetCapacity()) {
        const int32_t capacity = GetCapacity();
        items_.resize(size_t(capacity == 0 ? 4 : capacity < 64 ? capacity * 2 : capacity + capacity / 4));
    }
    std::move_backward(items_.begin() + index, items_.begin() + count_, items_.begin() + count_ + 1);
    items_[size_t(index)] = {s, object, 0};
    ++count_;
    Changed();
}

int32_t TStringList::Add(const std::u16string& s) {
    return AddObject(s, nullptr);
}

int32_t TStringList::AddObject(const std::u16string& s, TObject* object) {
    int32_t index = count_;
    if (sorted_ && Find(s, index)) {
        if (Duplicates == dupIgnore) return index;
        if (Duplicates == dupError) RaiseStringListError(u"a lista não aceita repetição", 0);
    }
    InsertItem(index, s, object);
    return index;
}

void TStringList::Insert(int32_t index, const std::u16string& s) {
    if (sorted_) RaiseStringListError(u"não se insere por posição numa lista ordenada", index);
    if (index < 0 || index > count_) RaiseStringListError(u"índice fora da lista", index);
    InsertItem(index, s, nullptr);
}

void TStringList::Delete(int32_t index) {
    CheckIndex(index);
    Changing();
    std::move(items_.begin() + index + 1, items_.begin() + count_, items_.begin() + index);
    items_[size_t(--count_)] = {};
    Changed();
}

void TStringList::Clear() {
    if (count_ == 0) return;
    Changing();
    count_ = 0;
    items_ = {};
    Changed();
}

void TStringList::Exchange(int32_t i, int32_t j) {
    CheckIndex(i);
    CheckIndex(j);
    Changing();
    ExchangeItems(i, j);
    Changed();
}

void TStringList::ExchangeItems(int32_t i, int32_t j) {
    std::swap(items_[size_t(i)], items_[size_t(j)]);
}

int32_t TStringList::IndexOf(std::u16string_view s) const {
    if (!sorted_) return TStrings::IndexOf(s);
    int32_t index;
    return Find(s, index) ? index : -1;
}

int32_t TStringList::CompareStrings(std::u16string_view a, std::u16string_view b) const {
    if (!caseSensitive_) return TStrings::CompareStrings(a, b);
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool TStringList::Find(std::u16string_view s, int32_t& index) const {
    bool found = false;
    int32_t low = 0;
    int32_t high = count_ - 1;
    while (low <= high) {
        const int32_t middle = Middle(low, high);
        const int32_t c = CompareStrings(items_[size_t(middle)].String, s);
        if (c < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != dupAccept) low = middle;
            }
        }
    }
    index = low;
    return found;
}

void TStringList::Sort() {
    if (!sorted_) SortItems();
}

void TStringList::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    if (sorted) SortItems();
    sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
    if (caseSensitive == caseSensitive_) return;
    caseSensitive_ = caseSensitive;
    if (sorted_) SortItems();
}

void TStringList::SortItems() {
    if (count_ < 2) return;
    Changing();
    QuickSort(0, count_ - 1);
    Changed();
}

void TStringList::QuickSort(int32_t l, int32_t r) {
    // Recursing into the smaller part only keeps the depth within log2(count).
    while (l < r) {
        int32_t i = l;
        int32_t j = r;
        int32_t p = Middle(l, r);
        do {
            while (CompareStrings(items_[size_t(i)].String, items_[size_t(p)].String) < 0) ++i;
            while (CompareStrings(items_[size_t(j)].String, items_[size_t(p)].String) > 0) --j;
            if (i <= j) {
                if (i != j) ExchangeItems(i, j);
                // The pivot index follows the pivot item.
                if (p == i) p = j;
                else if (p == j) p = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - l < r - i) {
            if (l < j) QuickSort(l, j);
            l = i;
        } else {
            if (i < r) QuickSort(i, r);
            r = j;
        }
    }
}

} // namespace System
