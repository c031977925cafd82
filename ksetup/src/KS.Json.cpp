#include "KS.Json.h"

#include <atomic>
#include <new>

#include "KS.Sys.Text.h"
#include "System.Remainder.Text.h"

namespace KS {

using System::TRef;

namespace {

bool IsBlank(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ' || c == 0xFEFF;
}

// A bare token runs up to a blank or a closing character; U+FEFF, ":",
// quotes and opening brackets do not end it.
bool EndsToken(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ' || c == u',' || c == u']' || c == u'}';
}

// The unit of a "\u" escape from the (up to four) units after the "u", read
// as hexadecimal the way every number of the installer is read; what does
// not convert gives "?".
char16_t EscapedUnit(std::u16string_view digits) {
    std::u16string text = u"$";
    text += digits;
    int64_t value = 0;
    return TryParseInt64(text, value) ? char16_t(value) : u'?';
}

// ---- Tree chunks ---------------------------------------------------------------
//
// Blocks are carved in order from chunks, each block behind a pointer to its
// chunk. A chunk counts its live blocks (plus one while it is its thread's
// current chunk) and goes back to the heap when the count drops to zero;
// trees are built and released whole, so their chunks empty out with them.
// Blocks are never reused one by one. A block too large for a chunk gets a
// chunk of its own.

constexpr size_t kChunkSize = 32 * 1024;
constexpr size_t kLargeBlock = kChunkSize / 4;
// Every block holds nodes, strings or references: none needs more.
constexpr size_t kBlockAlign = alignof(void*);
static_assert(alignof(TJValue) <= kBlockAlign && alignof(std::u16string) <= kBlockAlign);

struct TTreeChunk {
    std::atomic<int32_t> Live;
};

constexpr size_t RoundUp(size_t size) { return (size + kBlockAlign - 1) / kBlockAlign * kBlockAlign; }
constexpr size_t kChunkHeader = RoundUp(sizeof(TTreeChunk));
constexpr size_t kBlockHeader = RoundUp(sizeof(TTreeChunk*));

void ReleaseChunk(TTreeChunk* chunk) noexcept {
    if (chunk && chunk->Live.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        chunk->~TTreeChunk();
        ::operator delete(chunk);
    }
}

TTreeChunk* NewChunk(char* memory, int32_t live) {
    return new (memory) TTreeChunk{{live}};
}

void* PlaceBlock(TTreeChunk* chunk, char* at) {
    *reinterpret_cast<TTreeChunk**>(at) = chunk;
    return at + kBlockHeader;
}

} // namespace

// The thread's current chunk; a parser looks it up once per parse.
struct TTreeArena {
    TTreeChunk* Chunk = nullptr;
    char* Next = nullptr;
    char* End = nullptr;

    ~TTreeArena() { ReleaseChunk(Chunk); }

    void* Take(size_t size) {
        size = kBlockHeader + RoundUp(size);
        if (size > kLargeBlock) {
            char* memory = static_cast<char*>(::operator new(kChunkHeader + size));
            return PlaceBlock(NewChunk(memory, 1), memory + kChunkHeader);
        }
        if (size_t(End - Next) < size) {
            char* memory = static_cast<char*>(::operator new(kChunkSize));
            ReleaseChunk(Chunk);
            Chunk = NewChunk(memory, 1);
            Next = memory + kChunkHeader;
            End = memory + kChunkSize;
        }
        Chunk->Live.fetch_add(1, std::memory_order_relaxed);
        void* block = PlaceBlock(Chunk, Next);
        Next += size;
        return block;
    }
};

namespace {
thread_local TTreeArena TreeArena;
} // namespace

void* JsonTreeAllocate(size_t size) {
    return TreeArena.Take(size);
}

void JsonTreeFree(void* block) noexcept {
    ReleaseChunk(*reinterpret_cast<TTreeChunk**>(static_cast<char*>(block) - kBlockHeader));
}

void* TJValue::operator new(size_t size, TTreeArena& arena) {
    return arena.Take(size);
}

void TJValue::operator delete(void* node, TTreeArena&) noexcept {
    JsonTreeFree(node);
}

// ---- TJValue -------------------------------------------------------------------

void TJValue::Add(std::u16string name, TRef<TJValue> child) {
    if (size_t(Count) >= Items.size()) {
        const size_t capacity = Items.size() < 8 ? 8 : Items.size() * 2;
        Items.resize(capacity);
        if (Kind == jkObject) Names.resize(capacity);
    }
    Items[size_t(Count)] = std::move(child);
    if (Kind == jkObject) Names[size_t(Count)] = std::move(name);
    ++Count;
}

TJValue* TJValue::Item(int32_t index) const {
    return index >= 0 && index < Count ? Items[size_t(index)].Get() : nullptr;
}

TJValue* TJValue::Find(std::u16string_view name) const {
    if (Kind != jkObject) return nullptr;
    for (int32_t i = 0; i < Count; ++i)
        if (Names[size_t(i)] == name) return Items[size_t(i)].Get();
    return nullptr;
}

std::u16string TJValue::GetStr(std::u16string_view name) const {
    const TJValue* member = Find(name);
    return member ? member->Text : std::u16string();
}

int64_t TJValue::GetInt(std::u16string_view name, int64_t defaultValue) const {
    const TJValue* member = Find(name);
    int64_t value = 0;
    return member && TryParseInt64(member->Text, value) ? value : defaultValue;
}

// ---- TJsonParser ---------------------------------------------------------------

TRef<TJValue> TJsonParser::Parse(std::u16string_view text, std::u16string& error) {
    Text = text;
    arena_ = &TreeArena;
    Pos = 0;
    Len = int64_t(Text.size());
    Error.clear();
    TRef<TJValue> root = ParseValue();
    error = Error;
    return root;
}

void TJsonParser::SkipBlanks() {
    while (Pos < Len && IsBlank(Text[size_t(Pos)])) ++Pos;
}

TRef<TJValue> TJsonParser::Fail(std::u16string_view message) {
    if (Error.empty()) {
        Error.assign(message);
        Error += u" (posição ";
        Error += System::Int64ToStr(Pos);
        Error += u')';
    }
    return nullptr;
}

TRef<TJValue> TJsonParser::NewValue(TJKind kind) {
    TRef<TJValue> value = new (*arena_) TJValue;
    value->Kind = kind;
    return value;
}

TRef<TJValue> TJsonParser::ParseValue(int depth) {
    SkipBlanks();
    if (Pos >= Len) return Fail(u"fim inesperado");
    const char16_t c = Text[size_t(Pos)];
    if (c == u'"') {
        TRef<TJValue> value = NewValue(jkString);
        if (!ReadString(value->Text)) return Fail(u"texto não terminado");
        return value;
    }
    if (c == u'[' || c == u'{') {
        if (depth >= kMaxDepth) return Fail(u"aninhamento profundo demais");
        return c == u'[' ? ParseArray(depth + 1) : ParseObject(depth + 1);
    }
    return ParseToken();
}

TRef<TJValue> TJsonParser::ParseArray(int depth) {
    TRef<TJValue> array = NewValue(jkArray);
    ++Pos;
    SkipBlanks();
    if (At(Pos) == u']') {
        ++Pos;
        return array;
    }
    for (;;) {
        TRef<TJValue> child = ParseValue(depth);
        if (!child) return nullptr;
        array->Add(std::u16string(), std::move(child));
        SkipBlanks();
        if (Pos >= Len) return Fail(u"vetor não terminado");
        const char16_t c = Text[size_t(Pos++)];
        if (c == u']') return array;
        if (c != u',') return Fail(u"\",\" ou \"]\" esperado");
    }
}

TRef<TJValue> TJsonParser::ParseObject(int depth) {
    TRef<TJValue> object = NewValue(jkObject);
    ++Pos;
    SkipBlanks();
    if (At(Pos) == u'}') {
        ++Pos;
        return object;
    }
    for (;;) {
        SkipBlanks();
        if (At(Pos) != u'"') return Fail(u"nome esperado");
        std::u16string name;
        if (!ReadString(name)) return Fail(u"texto não terminado");
        SkipBlanks();
        if (At(Pos) != u':') return Fail(u"\":\" esperado");
        ++Pos;
        TRef<TJValue> child = ParseValue(depth);
        if (!child) return nullptr;
        object->Add(std::move(name), std::move(child));
        SkipBlanks();
        if (Pos >= Len) return Fail(u"objeto não terminado");
        const char16_t c = Text[size_t(Pos++)];
        if (c == u'}') return object;
        if (c != u',') return Fail(u"\",\" ou \"}\" esperado");
    }
}

TRef<TJValue> TJsonParser::ParseToken() {
    const int64_t start = Pos;
    while (Pos < Len && !EndsToken(Text[size_t(Pos)])) ++Pos;
    TRef<TJValue> value = NewValue(jkNumber);
    value->Text.assign(Text.substr(size_t(start), size_t(Pos - start)));
    if (value->Text == u"true" || value->Text == u"false")
        value->Kind = jkBoolean;
    else if (value->Text == u"null")
        value->Kind = jkNull;
    return value;
}

bool TJsonParser::ReadString(std::u16string& out) {
    out.clear();
    const char16_t* text = Text.data();
    int64_t runStart = ++Pos;
    for (;;) {
        // Plain units are taken in runs between escapes.
        while (Pos < Len && text[Pos] != u'"' && text[Pos] != u'\\') ++Pos;
        if (Pos >= Len) return false;
        out.append(text + runStart, size_t(Pos - runStart));
        if (text[Pos] == u'"') {
            ++Pos;
            return true;
        }
        if (++Pos >= Len) return false;
        const char16_t escape = text[Pos++];
        switch (escape) {
        case u'b': out += u'\b'; break;
        case u'f': out += u'\f'; break;
        case u'n': out += u'\n'; break;
        case u'r': out += u'\r'; break;
        case u't': out += u'\t'; break;
        case u'u': {
            const int64_t available = Len - Pos;
            const size_t count = size_t(available < 4 ? available : 4);
            out += EscapedUnit(std::u16string_view(text + Pos, count));
            Pos += 4;
            break;
        }
        default: out += escape; break;
        }
        runStart = Pos;
    }
}

bool ParseJson(const std::u16string& text, TRef<TJValue>& root, std::u16string& error) {
    TRef<TJsonParser> parser = new TJsonParser;
    root = parser->Parse(text, error);
    return bool(root);
}

} // namespace KS
