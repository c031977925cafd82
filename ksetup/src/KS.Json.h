// The installer's JSON reader. Lenient and read-only: it checks brackets,
// braces, commas, colons and quotes, keeps every bare token (numbers, true,
// false, null, and anything else) as the text written, and stops at the first
// error with a Portuguese message that carries the position in UTF-16 units.
// No Windows interface here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "System.Remainder.Object.h"

namespace KS {

enum TJKind : uint8_t {
    jkNull = 0,
    jkBoolean = 1,
    jkNumber = 2,
    jkString = 3,
    jkArray = 4,
    jkObject = 5,
};

// A catalogue of tens of thousands of files makes hundreds of thousands of
// nodes and child arrays; they come from per-thread chunks instead of one
// heap call each (the heap's calls cost most of a parse otherwise).
struct TTreeArena;
void* JsonTreeAllocate(size_t size);
void JsonTreeFree(void* block) noexcept;

template <class T>
struct TJsonTreeAllocator {
    using value_type = T;
    TJsonTreeAllocator() = default;
    template <class U>
    TJsonTreeAllocator(const TJsonTreeAllocator<U>&) noexcept {}
    T* allocate(size_t count) {
        static_assert(alignof(T) <= alignof(void*), "tree blocks are aligned for pointers only");
        return static_cast<T*>(JsonTreeAllocate(count * sizeof(T)));
    }
    void deallocate(T* block, size_t) noexcept { JsonTreeFree(block); }
    friend bool operator==(const TJsonTreeAllocator&, const TJsonTreeAllocator&) { return true; }
};

// One node of a parsed tree. A parent holds a counted reference to each
// child, so the tree lives as long as its root is referenced.
class TJValue : public System::TObject {
public:
    TJKind Kind = jkNull;
    // The decoded text of a string; the token as written for a number,
    // boolean or null; empty for arrays and objects.
    std::u16string Text;
    // Member names of an object, parallel to Items; duplicates are kept.
    std::vector<std::u16string, TJsonTreeAllocator<std::u16string>> Names;
    // Children in text order; the length is the capacity, Count the use.
    std::vector<System::TRef<TJValue>, TJsonTreeAllocator<System::TRef<TJValue>>> Items;
    int32_t Count = 0;

    // Appends a child (the name counts for objects only).
    void Add(std::u16string name, System::TRef<TJValue> child);
    // The child at index, or nil outside 0 .. Count - 1; any kind.
    TJValue* Item(int32_t index) const;
    // The first member of that exact name; nil when none or not an object.
    TJValue* Find(std::u16string_view name) const;
    // The member's Text whatever its kind; empty when missing.
    std::u16string GetStr(std::u16string_view name) const;
    // The member's Text read as an integer (decimal, or hexadecimal after
    // "$", "0x" or "0X") whatever its kind; the default when it is missing
    // or does not convert.
    int64_t GetInt(std::u16string_view name, int64_t defaultValue) const;

    static void* operator new(size_t size) { return JsonTreeAllocate(size); }
    static void operator delete(void* node) noexcept { JsonTreeFree(node); }
    // From a chunk arena the caller looked up already.
    static void* operator new(size_t size, TTreeArena& arena);
    static void operator delete(void* node, TTreeArena& arena) noexcept;
};

class TJsonParser : public System::TObject {
public:
    // Nesting beyond this many arrays and objects fails the parse instead of
    // exhausting the stack on hostile input.
    static constexpr int kMaxDepth = 512;

    // The caller's text, which outlives the parser (one parse per parser).
    std::u16string_view Text;
    int64_t Pos = 0;
    int64_t Len = 0;
    std::u16string Error;

    // Reads the first value of the text; what follows it is ignored.
    // Nil with a non-empty error on failure.
    System::TRef<TJValue> Parse(std::u16string_view text, std::u16string& error);

    System::TRef<TJValue> ParseValue(int depth = 0);
    void SkipBlanks();
    // Pos on the opening quote; on true Pos is past the closing one.
    bool ReadString(std::u16string& out);
    // Records message + " (posição " + Pos + ")" unless an error is already
    // recorded; returns nil for the caller to pass on.
    System::TRef<TJValue> Fail(std::u16string_view message);

private:
    TTreeArena* arena_ = nullptr;

    System::TRef<TJValue> NewValue(TJKind kind);
    char16_t At(int64_t index) const { return index >= 0 && index < Len ? Text[size_t(index)] : u'\0'; }
    System::TRef<TJValue> ParseArray(int depth);
    System::TRef<TJValue> ParseObject(int depth);
    System::TRef<TJValue> ParseToken();
};

// True exactly when a root came back; on false the root is nil and the
// error text says what and where.
bool ParseJson(const std::u16string& text, System::TRef<TJValue>& root, std::u16string& error);

} // namespace KS
