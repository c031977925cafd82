// Lists of strings in which every item also carries an object reference and
// a 64-bit data word: the abstract TStrings, which builds text, search, copy,
// reordering, loading and saving on five primitives, and TStringList, which
// stores the items and can keep them sorted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "System.Remainder.Classes.h"
#include "System.Remainder.Encoding.h"
#include "System.Remainder.Streams.h"

// windows.h maps GetObject to GetObjectW; the lists keep their operation's
// own name, so a unit that needs the GDI function calls GetObjectW.
#ifdef GetObject
#undef GetObject
#endif

namespace System {

// EListError whose message is the text, " (", the number and ")".
[[noreturn]] void RaiseStringListError(const std::u16string& message, int64_t number);

class TStrings : public TPersistent {
public:
    // Separates the name from the value of an item (IndexOfName).
    char16_t NameValueSeparator = u'=';
    // Follows every item in GetText.
    std::u16string LineBreak = u"\r\n";

    // The primitives a concrete list supplies.
    virtual std::u16string Get(int32_t index) const = 0;
    virtual int32_t GetCount() const = 0;
    virtual void Clear() = 0;
    virtual void Delete(int32_t index) = 0;
    virtual void Insert(int32_t index, const std::u16string& s) = 0;

    // Here a list stores no objects, no data words and no capacity.
    virtual TRef<TObject> GetObject(int32_t index) const;
    virtual int64_t GetItemData(int32_t index) const;
    virtual void PutObject(int32_t index, TObject* object);
    virtual void PutItemData(int32_t index, int64_t data);
    virtual int32_t GetCapacity() const;
    virtual void SetCapacity(int32_t capacity);

    // Every item followed by LineBreak, the last one too.
    virtual std::u16string GetText() const;
    // Replaces the items by the lines of the text. A line ends at CR, LF or
    // CR LF; a last line without an end counts, an empty one after the last
    // end does not.
    virtual void SetText(std::u16string_view text);
    // Replaces the string of an item, keeping its object (not its data word).
    virtual void Put(int32_t index, const std::u16string& s);

    // Case-insensitive here; -1, 0 or 1.
    virtual int32_t CompareStrings(std::u16string_view a, std::u16string_view b) const;

    virtual int32_t Add(const std::u16string& s);
    virtual int32_t AddObject(const std::u16string& s, TObject* object);
    virtual void InsertObject(int32_t index, const std::u16string& s, TObject* object);
    // Adds the strings and objects of `source` (not their data words); the
    // source may be this list, whose count is read before the first addition.
    virtual void AddStrings(const TStrings& source);
    // Swaps strings and objects (not data words).
    virtual void Exchange(int32_t i, int32_t j);
    // `to` counts in the list without the moved item. The item is inserted
    // at its target before it leaves its place, so a list that refuses the
    // insert keeps it. The data word does not travel.
    virtual void Move(int32_t from, int32_t to);

    // The first matching index, or -1.
    virtual int32_t IndexOf(std::u16string_view s) const;
    // The first item whose text before its first NameValueSeparator
    // compares equal to `name`; items without the separator never match.
    virtual int32_t IndexOfName(std::u16string_view name) const;
    virtual int32_t IndexOfObject(const TObject* object) const;
    virtual int32_t IndexOfItemData(int64_t data) const;

    // The stream is read from its position to its end as UTF-8 (a leading
    // EF BB BF skipped, broken sequences dropped) and replaces the items.
    // Raises EOutOfMemory when that many bytes cannot be held.
    virtual void LoadFromStream(TStream& stream);
    // GetText as UTF-8 without a byte-order mark at the stream's position.
    virtual void SaveToStream(TStream& stream) const;
    virtual void LoadFromFile(const std::u16string& fileName);
    // Creates or replaces the file.
    virtual void SaveToFile(const std::u16string& fileName) const;
    // The text is UTF-8 whatever the encoding; it is only held for the call.
    void LoadFromStreamEncoded(TStream& stream, TRef<TEncoding> encoding);
    void SaveToStreamEncoded(TStream& stream, TRef<TEncoding> encoding) const;
    void LoadFromFileEncoded(const std::u16string& fileName, TRef<TEncoding> encoding);
    void SaveToFileEncoded(const std::u16string& fileName, TRef<TEncoding> encoding) const;

    // Takes the items of another TStrings; a list assigned to itself stays
    // as it is.
    void Assign(TPersistent* source) override;

    // Brackets a batch of changes; only the outermost pair reaches
    // SetUpdateState. SetText, AddStrings, Assign, Exchange and Move bracket
    // themselves.
    void BeginUpdate();
    void EndUpdate();
    int32_t UpdateCount() const noexcept { return updateCount_; }

protected:
    // Told when the outermost update bracket opens (true) and closes.
    virtual void SetUpdateState(bool updating);

    // Runs `work` inside BeginUpdate / EndUpdate; EndUpdate runs also when
    // the work raises.
    template <class Work>
    void WithUpdate(Work&& work) {
        BeginUpdate();
        try {
            work();
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
    }

private:
    int32_t updateCount_ = 0;
};

// What adding a string already present does to a sorted list.
enum TDuplicates : uint8_t { dupIgnore = 0, dupAccept = 1, dupError = 2 };

class TStringList : public TStrings {
public:
    TDuplicates Duplicates = dupIgnore;
    // Called with the list after and before every change, outside update brackets.
    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

    // Switching on sorts the items that are there.
    bool Sorted() const noexcept { return sorted_; }
    void SetSorted(bool sorted);
    // Ordinal comparison when set, case-insensitive otherwise; a sorted
    // list is sorted again by the new rule.
    bool CaseSensitive() const noexcept { return caseSensitive_; }
    void SetCaseSensitive(bool caseSensitive);

    std::u16string Get(int32_t index) const override;
    int32_t GetCount() const override { return count_; }
    void Clear() override;
    void Delete(int32_t index) override;
    // Refused by a sorted list.
    void Insert(int32_t index, const std::u16string& s) override;

    TRef<TObject> GetObject(int32_t index) const override;
    int64_t GetItemData(int32_t index) const override;
    void PutObject(int32_t index, TObject* object) override;
    void PutItemData(int32_t index, int64_t data) override;
    int32_t GetCapacity() const override { return int32_t(items_.size()); }
    // Never below the count.
    void SetCapacity(int32_t capacity) override;
    // Refused by a sorted list.
    void Put(int32_t index, const std::u16string& s) override;

    int32_t CompareStrings(std::u16string_view a, std::u16string_view b) const override;

    int32_t Add(const std::u16string& s) override;
    // A sorted list puts the string in its place; Duplicates says what an
    // equal string already there means. Returns the index of the new or
    // found item.
    int32_t AddObject(const std::u16string& s, TObject* object) override;
    void Exchange(int32_t i, int32_t j) override;
    int32_t IndexOf(std::u16string_view s) const override;

    // For a sorted list: whether s is present, and its index (the first equal
    // one when duplicates are accepted) or the index it would be inserted at.
    virtual bool Find(std::u16string_view s, int32_t& index) const;
    // Sorts an unsorted list (not stable; objects and data words travel with
    // their strings).
    virtual void Sort();

protected:
    virtual void Changed();
    virtual void Changing();
    // Stores s and the object at index with data word 0; the index is the
    // caller's to check.
    virtual void InsertItem(int32_t index, const std::u16string& s, TObject* object);
    void SetUpdateState(bool updating) override;

private:
    struct TStringItem {
        std::u16string String;
        TRef<TObject> Object;
        int64_t Data = 0;
    };

    void CheckIndex(int32_t index) const;
    void ExchangeItems(int32_t i, int32_t j);
    void SortItems();
    void QuickSort(int32_t l, int32_t r);

    std::vector<TStringItem> items_;  // its length is the capacity
    int32_t count_ = 0;
    bool sorted_ = false;
    bool caseSensitive_ = false;
};

} // namespace System
