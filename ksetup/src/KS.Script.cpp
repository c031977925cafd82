#include "KS.Script.h"

#include <unordered_map>

namespace KS {

namespace {

// The sections whose lines are "Key=Value" rather than entries of parameters.
bool IsKeyValueSection(const TSection& section) {
    return EqualsIgnoreCase(section.Name, u"Setup") || EqualsIgnoreCase(section.Name, u"Messages") ||
           EqualsIgnoreCase(section.Name, u"CustomMessages");
}

// Entry 0, which holds every key of a key/value section.
TParams& KeyValueEntry(TSection& section) {
    return section.Entries.empty() ? *section.AddEntry() : *section.Entry(0);
}

// Names, ignoring ASCII case, to the position of their first occurrence.
class TNameIndex {
public:
    int64_t Find(std::u16string_view name) const {
        const auto found = positions_.find(AsciiUpperCase(std::u16string(name)));
        return found == positions_.end() ? -1 : int64_t(found->second);
    }
    // A name already present keeps its first position.
    void Add(std::u16string_view name, size_t position) {
        positions_.emplace(AsciiUpperCase(std::u16string(name)), position);
    }

private:
    std::unordered_map<std::u16string, size_t> positions_;
};

} // namespace

// Reads a script line by line into its TScript. Sections and the keys of
// key/value sections are looked up through indexes, so that a text with
// very many of them still parses in linear time; the results are those of
// FindSection and IndexOfKey.
class TScript::TReader {
public:
    explicit TReader(TScript& script) : script_(script) {
        for (size_t i = 0; i < script.Sections.size(); ++i) sections_.Add(script.Sections[i]->Name, i);
    }

    // The text after "linha N" for a bad line, empty for a good one.
    std::u16string ReadLine(const std::u16string& line) {
        if (line.empty() || line.front() == u';' || line.starts_with(u"//")) return {};
        if (line.front() == u'[') {
            if (line.back() != u']') return u": seção sem \"]\": " + line;
            current_ = Section(TrimText(line.substr(1, line.size() - 2)));
            return {};
        }
        if (!current_) return u": conteúdo antes da primeira seção: " + line;
        if (IsKeyValueSection(*current_)) {
            const size_t equals = line.find(u'=');
            if (equals == std::u16string::npos || equals == 0) return u": esperava \"Chave=Valor\": " + line;
            SetKeyValue(line, equals);
            return {};
        }
        const std::u16string error = current_->AddEntry()->ParseLine(line);
        return error.empty() ? error : u" [" + current_->Name + u"]: " + error;
    }

private:
    // What EnsureSection gives, without its linear search.
    TSection* Section(const std::u16string& name) {
        const int64_t at = sections_.Find(name);
        if (at >= 0) return script_.Sections[size_t(at)].Get();
        sections_.Add(name, script_.Sections.size());
        return script_.AppendSection(name);
    }

    // Sets the key in the current section's one entry; a repeated key keeps
    // its first spelling and takes the new value.
    void SetKeyValue(const std::u16string& line, size_t equals) {
        std::u16string key = TrimText(line.substr(0, equals));
        std::u16string value = TrimText(line.substr(equals + 1));
        // Only one pair of enclosing quotes goes; nothing inside is unescaped.
        if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
            value = value.substr(1, value.size() - 2);
        TParams& entry = KeyValueEntry(*current_);
        auto [keys, fresh] = keys_.try_emplace(&entry);
        if (fresh)
            for (size_t i = 0; i < entry.Keys.size(); ++i) keys->second.Add(entry.Keys[i], i);
        const int64_t at = keys->second.Find(key);
        if (at >= 0) {
            entry.Values[size_t(at)] = std::move(value);
        } else {
            keys->second.Add(key, entry.Keys.size());
            entry.Keys.push_back(std::move(key));
            entry.Values.push_back(std::move(value));
        }
    }

    TScript& script_;
    TSection* current_ = nullptr;
    TNameIndex sections_;
    std::unordered_map<const TParams*, TNameIndex> keys_;
};

TParams* TSection::AddEntry() {
    Entries.emplace_back(new TParams());
    return Entries.back().Get();
}

TSection* TScript::FindSection(std::u16string_view name) const {
    for (const auto& section : Sections)
        if (EqualsIgnoreCase(section->Name, name)) return section.Get();
    return nullptr;
}

TSection* TScript::EnsureSection(std::u16string_view name) {
    TSection* found = FindSection(name);
    return found ? found : AppendSection(name);
}

TSection* TScript::AppendSection(std::u16string_view name) {
    Sections.emplace_back(new TSection(std::u16string(name)));
    return Sections.back().Get();
}

TParams* TScript::SetupParams() {
    return &KeyValueEntry(*EnsureSection(u"Setup"));
}

bool TScript::Parse(const std::u16string& text) {
    ErrorText.clear();
    TReader reader(*this);
    const TStringArray lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::u16string error = reader.ReadLine(TrimText(lines[i]));
        if (!error.empty()) {
            ErrorText = u"linha " + System::Int64ToStr(int64_t(i + 1)) + error;
            return false;
        }
    }
    return true;
}

} // namespace KS
