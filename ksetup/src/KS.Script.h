// The parsed setup script: an ordered list of sections, each holding entries,
// each entry holding named parameters. Every reader of the script goes
// through these objects and the parameter accessors of TParams. Script names
// (sections, keys, parameters, flags) compare ignoring ASCII case. No Windows
// interface here; nothing here raises on bad script text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "KS.Sys.Text.h"
#include "System.Remainder.Object.h"

namespace KS {

// One entry: its parameters in the order written. In a key/value section
// ("Setup", "Messages", "CustomMessages") the one entry holds every key.
class TParams : public System::TObject {
public:
    TStringArray Keys;
    TStringArray Values;  // Values[i] belongs to Keys[i]

    // Appends the parameters of one entry line ("Name: value; Name: "quoted"");
    // returns the error text, empty on success.
    std::u16string ParseLine(const std::u16string& line);

    // Every lookup takes the first parameter of that name, ignoring ASCII case.
    int32_t IndexOfKey(std::u16string_view key) const;
    // An empty value is returned as it is; the default only when the name is missing.
    std::u16string GetValue(std::u16string_view name, std::u16string_view defaultValue) const;
    bool GetBool(std::u16string_view name, bool defaultValue) const;
    // 0 when the name is missing or its value is no number.
    int64_t GetInt(std::u16string_view name) const;
    TStringArray GetWords(std::u16string_view name) const;
    // Whether the words of "Flags" hold the word, as a whole word.
    bool HasFlag(std::u16string_view word) const;

private:
    friend class TSection;
    TParams() = default;
};

class TSection : public System::TObject {
public:
    std::u16string Name;  // as first written, trimmed
    std::vector<System::TRef<TParams>> Entries;

    // The section keeps the entry alive as long as itself.
    TParams* AddEntry();
    // No range check: callers loop over Entries.
    TParams* Entry(size_t index) const { return Entries[index].Get(); }

private:
    friend class TScript;
    explicit TSection(std::u16string name) : Name(std::move(name)) {}
};

class TScript : public System::TObject {
public:
    // In the order in which each section name first appeared.
    std::vector<System::TRef<TSection>> Sections;
    // The error of the last Parse, "linha N...": empty when it succeeded.
    std::u16string ErrorText;

    // Fills the script from the whole text (once, on a new script). Stops at
    // the first bad line with false and ErrorText; what came before it stays.
    bool Parse(const std::u16string& text);

    TSection* FindSection(std::u16string_view name) const;
    // The section of that name; a missing one is appended empty, so the
    // engine's section loops always get a section.
    TSection* EnsureSection(std::u16string_view name);
    // Entry 0 of "Setup", created empty when missing.
    TParams* SetupParams();

private:
    class TReader;
    TSection* AppendSection(std::u16string_view name);
};

// The words of a "Flags" or "Tasks" value: runs of units other than blank,
// tab and comma, keeping their case.
TStringArray SplitWords(std::u16string_view text);

// yes/true/sim/1/on and no/false/nao/não/0/off, trimmed and ignoring ASCII
// case; anything else, the empty text included, gives the default.
bool ParseBoolWord(const std::u16string& text, bool defaultValue);

} // namespace KS
