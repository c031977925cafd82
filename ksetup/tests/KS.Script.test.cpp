#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "KS.Script.h"

using namespace KS;
using System::MakeRef;
using System::TRef;

namespace {

using TPairs = std::vector<std::pair<std::u16string, std::u16string>>;

TPairs PairsOf(const TParams& params) {
    TPairs pairs;
    for (size_t i = 0; i < params.Keys.size(); ++i) pairs.emplace_back(params.Keys[i], params.Values[i]);
    return pairs;
}

// One entry line parsed into an entry of its own script.
struct TParsedEntry {
    TRef<TScript> Script = MakeRef<TScript>();
    TParams* Params = Script->EnsureSection(u"Run")->AddEntry();
    std::u16string Error;
    explicit TParsedEntry(const std::u16string& line) : Error(Params->ParseLine(line)) {}
};

TRef<TScript> ParsedScript(const std::u16string& text) {
    TRef<TScript> script = MakeRef<TScript>();
    EXPECT_TRUE(script->Parse(text)) << std::string(script->ErrorText.begin(), script->ErrorText.end());
    EXPECT_EQ(script->ErrorText, u"");
    return script;
}

std::vector<std::u16string> SectionNames(const TScript& script) {
    std::vector<std::u16string> names;
    for (const auto& section : script.Sections) names.push_back(section->Name);
    return names;
}

} // namespace

TEST(ScriptParse, EveryErrorTextWithItsLineNumber) {
    const struct { const char16_t *text, *error; } cases[] = {
        {u"[Setup] ; the main keys", u"linha 1: seção sem \"]\": [Setup] ; the main keys"},
        {u"[", u"linha 1: seção sem \"]\": ["},
        {u"\r\n  [Files  \t", u"linha 2: seção sem \"]\": [Files"},
        {u"; only a comment\nAppName=X\n[Setup]", u"linha 2: conteúdo antes da primeira seção: AppName=X"},
        {u"]", u"linha 1: conteúdo antes da primeira seção: ]"},
        {u"\uFEFF[Setup]\nAppName=X", u"linha 1: conteúdo antes da primeira seção: \uFEFF[Setup]"},
        {u"[Setup]\r\n\r\n; comment\r\n  AppName  ", u"linha 4: esperava \"Chave=Valor\": AppName"},
        {u"[Setup]\n=X", u"linha 2: esperava \"Chave=Valor\": =X"},
        {u"[CUSTOMMESSAGES]\nNoEquals: here", u"linha 2: esperava \"Chave=Valor\": NoEquals: here"},
        {u"[Run]\nFilename: a.exe; nowait postinstall",
         u"linha 2 [Run]: esperava \"Nome: valor\", achei \"nowait postinstall\""},
        {u"[Icons]\nName: a;  : b", u"linha 2 [Icons]: nome de parâmetro vazio"},
        {u"[Icons]\n: b", u"linha 2 [Icons]: nome de parâmetro vazio"},
        {u"[Registry]\nValueData: \"abc\"\"", u"linha 2 [Registry]: aspas sem fechar no valor de \"ValueData\""},
        {u"[Tasks]\nDescription: \"a\" b; Name: x",
         u"linha 2 [Tasks]: depois das aspas de \"Description\" esperava \";\""},
        // The section keeps the spelling of its first header.
        {u"[Tasks]\nName: a\n[tasks]\nx", u"linha 4 [Tasks]: esperava \"Nome: valor\", achei \"x\""},
        {u"[]\nfoo", u"linha 2 []: esperava \"Nome: valor\", achei \"foo\""},
        // CR LF, a lone CR and a lone LF each end one line; blank lines count.
        {u"[Setup]\r\r\n\n\rbad", u"linha 5: esperava \"Chave=Valor\": bad"},
        {u"[Dirs]\n// comment\n;\n\t\nName", u"linha 5 [Dirs]: esperava \"Nome: valor\", achei \"Name\""},
    };
    for (const auto& c : cases) {
        const TRef<TScript> script = MakeRef<TScript>();
        EXPECT_FALSE(script->Parse(c.text)) << "case " << &c - cases;
        EXPECT_EQ(script->ErrorText, c.error) << "case " << &c - cases;
    }
}

TEST(ScriptParse, WhatCameBeforeTheBadLineStays) {
    const TRef<TScript> script = MakeRef<TScript>();
    ASSERT_FALSE(script->Parse(u"[Setup]\nAppName=X\n[Run]\nFilename: a.exe\nFilename: \"b"));
    ASSERT_EQ(SectionNames(*script), (std::vector<std::u16string>{u"Setup", u"Run"}));
    EXPECT_EQ(script->SetupParams()->GetValue(u"AppName", u""), u"X");
    EXPECT_EQ(script->Sections[1]->Entries.size(), 2u);  // the bad line's entry too
    EXPECT_EQ(script->Sections[1]->Entry(0)->GetValue(u"Filename", u""), u"a.exe");
}

TEST(ScriptParse, CommentsAndBlankLinesOnlyGiveNoSections) {
    for (const char16_t* text : {u"", u"\r\n", u"; x\n// y\n\t \n", u"\n\n\n"}) {
        EXPECT_TRUE(ParsedScript(text)->Sections.empty());
    }
}

TEST(ScriptParse, SectionsMergeAcrossLetterCaseInFirstSeenOrder) {
    const TRef<TScript> script = ParsedScript(
        u"[Tasks]\nName: a\n[ Files ]\nSource: x\n[tasks]\nName: b\n[TASKS]\nName: c\n"
        u"[setup]\nAppName=First\n[SETUP]\nappname=Second\nAppVersion=1.0\n[]\nName: empty");
    EXPECT_EQ(SectionNames(*script), (std::vector<std::u16string>{u"Tasks", u"Files", u"setup", u""}));
    const TSection* tasks = script->FindSection(u"TaSkS");
    ASSERT_EQ(tasks->Entries.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(tasks->Entry(i)->GetValue(u"Name", u""), std::u16string(1, char16_t(u'a' + i)));

    // [setup] is a key/value section: one entry, a repeated key keeps its first spelling.
    const TSection* setup = script->FindSection(u"Setup");
    ASSERT_EQ(setup->Entries.size(), 1u);
    EXPECT_EQ(script->SetupParams(), setup->Entry(0));
    EXPECT_EQ(PairsOf(*script->SetupParams()), (TPairs{{u"AppName", u"Second"}, {u"AppVersion", u"1.0"}}));
    EXPECT_EQ(script->FindSection(u"")->Entry(0)->GetValue(u"Name", u"?"), u"empty");
}

TEST(ScriptParse, KeyValueLines) {
    const TRef<TScript> script = ParsedScript(
        u"[Setup]\n"
        u"AppId={{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}\n"
        u"AppName = \"Ostrel Dax\" \n"
        u"Quote=\"\n"
        u"Inner=\"a\" and \"b\"\n"
        u"Doubled=\"\"\"x\"\"\"\n"
        u"Empty=\n"
        u"EmptyQuoted=\"\"\n"
        u"Comment=value ; not a comment\n"
        u"Equals=a=b\n"
        u"[Messages]\n"
        u"Ok=Concluído\n"
        u"[CustomMessages]\n"
        u"Greeting  =  Olá, \"mundo\"\n");
    EXPECT_EQ(PairsOf(*script->SetupParams()), (TPairs{
        {u"AppId", u"{{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}"},
        {u"AppName", u"Ostrel Dax"},
        {u"Quote", u"\""},
        {u"Inner", u"a\" and \"b"},
        {u"Doubled", u"\"\"x\"\""},  // nothing inside is unescaped
        {u"Empty", u""},
        {u"EmptyQuoted", u""},
        {u"Comment", u"value ; not a comment"},
        {u"Equals", u"a=b"},
    }));
    EXPECT_EQ(PairsOf(*script->FindSection(u"messages")->Entry(0)), (TPairs{{u"Ok", u"Concluído"}}));
    EXPECT_EQ(PairsOf(*script->FindSection(u"CustomMessages")->Entry(0)),
              (TPairs{{u"Greeting", u"Olá, \"mundo\""}}));
}

TEST(ScriptParse, EveryEntryLineBecomesOneEntry) {
    const TRef<TScript> script = ParsedScript(
        u"[Run]\n"
        u"Filename: \"{app}\\a.exe\"; Flags: nowait\n"
        u"; Filename: skipped.exe\n"
        u"\n"
        u"Filename: b.exe; Parameters: \"/x; /y\"; Flags: nowait, postinstall skipifsilent\n"
        u"Something: else\n");
    const TSection* run = script->FindSection(u"Run");
    ASSERT_EQ(run->Entries.size(), 3u);
    EXPECT_EQ(PairsOf(*run->Entry(0)), (TPairs{{u"Filename", u"{app}\\a.exe"}, {u"Flags", u"nowait"}}));
    EXPECT_EQ(PairsOf(*run->Entry(1)), (TPairs{{u"Filename", u"b.exe"}, {u"Parameters", u"/x; /y"},
                                               {u"Flags", u"nowait, postinstall skipifsilent"}}));
    EXPECT_EQ(PairsOf(*run->Entry(2)), (TPairs{{u"Something", u"else"}}));
}

TEST(ScriptParse, EnsureSectionAndSetupParamsAlwaysGiveASection) {
    const TRef<TScript> script = ParsedScript(u"[Files]\n");
    EXPECT_EQ(script->FindSection(u"Icons"), nullptr);
    TSection* icons = script->EnsureSection(u"Icons");
    EXPECT_EQ(script->EnsureSection(u"ICONS"), icons);
    EXPECT_EQ(icons->Name, u"Icons");
    EXPECT_TRUE(icons->Entries.empty());

    TParams* setup = script->SetupParams();
    EXPECT_EQ(script->SetupParams(), setup);
    EXPECT_TRUE(setup->Keys.empty());
    EXPECT_EQ(SectionNames(*script), (std::vector<std::u16string>{u"Files", u"Icons", u"Setup"}));
}

TEST(ScriptParse, ContinuesSectionsAndKeysMadeBeforeIt) {
    const TRef<TScript> script = MakeRef<TScript>();
    TParams* setup = script->SetupParams();
    setup->Keys = {u"AppName"};
    setup->Values = {u"Before"};
    script->EnsureSection(u"Run");
    ASSERT_TRUE(script->Parse(u"[SETUP]\nappname=After\n[run]\nName: x"));
    EXPECT_EQ(SectionNames(*script), (std::vector<std::u16string>{u"Setup", u"Run"}));
    EXPECT_EQ(PairsOf(*setup), (TPairs{{u"AppName", u"After"}}));
    EXPECT_EQ(script->FindSection(u"Run")->Entries.size(), 1u);
}

TEST(EntryLine, QuotingAndSeparators) {
    const struct { const char16_t* line; TPairs pairs; } cases[] = {
        {u"Description: \"a; b\"; Flags: x", {{u"Description", u"a; b"}, {u"Flags", u"x"}}},
        {u"Description: \"say \"\"hi\"\"\"", {{u"Description", u"say \"hi\""}}},
        // A registry command line: three quotes open and close, inner ones doubled.
        {u"Root: HKCR; ValueData: \"\"\"{app}\\Ostrel.exe\"\" \"\"%1\"\"\"",
         {{u"Root", u"HKCR"}, {u"ValueData", u"\"{app}\\Ostrel.exe\" \"%1\""}}},
        {u"Name: \"  padded  \" \t; Flags: y", {{u"Name", u"  padded  "}, {u"Flags", u"y"}}},
        {u"Name: \"\"", {{u"Name", u""}}},
        {u"Name:", {{u"Name", u""}}},
        {u"Name:;Flags:\t", {{u"Name", u""}, {u"Flags", u""}}},
        {u"Name:   plain value  ; x:y", {{u"Name", u"plain value"}, {u"x", u"y"}}},
        {u"Name: a\"b\"", {{u"Name", u"a\"b\""}}},
        {u"Url: http://localhost:8080/a", {{u"Url", u"http://localhost:8080/a"}}},
        {u";;; a:b ;;\t;", {{u"a", u"b"}}},
        {u"a: 1; A: 2; a: 3", {{u"a", u"1"}, {u"A", u"2"}, {u"a", u"3"}}},
        // A word without ":" joins the next name rather than being dropped.
        {u"word; Name: x", {{u"word; Name", u"x"}}},
        {u"Na me\t: x", {{u"Na me", u"x"}}},
        {u"", {}},
    };
    for (const auto& c : cases) {
        const TParsedEntry entry(c.line);
        EXPECT_EQ(entry.Error, u"") << "case " << &c - cases;
        EXPECT_EQ(PairsOf(*entry.Params), c.pairs) << "case " << &c - cases;
    }
}

TEST(EntryLine, ParametersBeforeAnErrorStay) {
    const TParsedEntry entry(u"Name: a; Flags: \"x\" y");
    EXPECT_EQ(entry.Error, u"depois das aspas de \"Flags\" esperava \";\"");
    EXPECT_EQ(PairsOf(*entry.Params), (TPairs{{u"Name", u"a"}}));
}

TEST(EntryParameters, GetValueTellsEmptyFromMissing) {
    const TParsedEntry entry(u"Flags:; Name: first; NAME: second");
    const TParams& params = *entry.Params;
    EXPECT_EQ(params.GetValue(u"flags", u"default"), u"");
    EXPECT_EQ(params.GetValue(u"Tasks", u"default"), u"default");
    EXPECT_EQ(params.GetValue(u"name", u""), u"first");
    EXPECT_EQ(params.IndexOfKey(u"NaMe"), 1);
    EXPECT_EQ(params.IndexOfKey(u"Nam"), -1);
}

TEST(EntryParameters, BooleanWords) {
    const struct { const char16_t* word; bool whenDefaultFalse, whenDefaultTrue; } cases[] = {
        {u" Sim ", true, true}, {u"ON", true, true}, {u"yes", true, true}, {u"TRUE", true, true},
        {u"1", true, true}, {u"Não", false, false}, {u"nao", false, false}, {u"No", false, false},
        {u"false", false, false}, {u"0", false, false}, {u"\tOff\r", false, false},
        {u"NÃO", false, true},  // Ã does not fold
        {u"2", false, true}, {u"", false, true}, {u"  ", false, true}, {u"y", false, true},
        {u"yes please", false, true}, {u"01", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseBoolWord(c.word, false), c.whenDefaultFalse) << "case " << &c - cases;
        EXPECT_EQ(ParseBoolWord(c.word, true), c.whenDefaultTrue) << "case " << &c - cases;
    }
    const TParsedEntry entry(u"Check: sim; Empty:; Check: no");
    EXPECT_TRUE(entry.Params->GetBool(u"check", false));
    EXPECT_TRUE(entry.Params->GetBool(u"Empty", true));
    EXPECT_FALSE(entry.Params->GetBool(u"Missing", false));
}

TEST(EntryParameters, Integers) {
    const TParsedEntry entry(
        u"A: $FF; B: 0xff; C: 255; D: -0x10; E: 12a; F:; G: 18446744073709551621; H: 0x; I: 7; I: 8");
    const struct { const char16_t* name; int64_t value; } cases[] = {
        {u"A", 255}, {u"B", 255}, {u"C", 255}, {u"D", -16}, {u"E", 0}, {u"F", 0},
        {u"G", 5},  // wraps modulo 2^64
        {u"H", 0}, {u"I", 7}, {u"Missing", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(entry.Params->GetInt(c.name), c.value) << "case " << &c - cases;
}

TEST(EntryParameters, WordsAndFlags) {
    EXPECT_EQ(SplitWords(u"nowait,postinstall skipifsilent"),
              (TStringArray{u"nowait", u"postinstall", u"skipifsilent"}));
    EXPECT_EQ(SplitWords(u" ,\t,, A\tb ,c,"), (TStringArray{u"A", u"b", u"c"}));
    EXPECT_TRUE(SplitWords(u" , \t").empty());
    EXPECT_TRUE(SplitWords(u"").empty());

    const TParsedEntry entry(u"Flags: NoWait,postinstall; Tasks: desktopicon quicklaunch; Flags: unchecked");
    EXPECT_EQ(entry.Params->GetWords(u"tasks"), (TStringArray{u"desktopicon", u"quicklaunch"}));
    EXPECT_TRUE(entry.Params->HasFlag(u"nowait"));
    EXPECT_TRUE(entry.Params->HasFlag(u"POSTINSTALL"));
    EXPECT_FALSE(entry.Params->HasFlag(u"wait"));         // only inside another word
    EXPECT_FALSE(entry.Params->HasFlag(u"post"));
    EXPECT_FALSE(entry.Params->HasFlag(u"unchecked"));    // a second "Flags" is not read
    EXPECT_FALSE(entry.Params->HasFlag(u"desktopicon"));  // words of another parameter
    EXPECT_FALSE(entry.Params->HasFlag(u""));
}

// Hand-written or damaged text: each input ends in a clean parse or a
// "linha N" error within the text's lines, never a crash or a hang.
TEST(ScriptParse, AnyTextGivesAParseOrALineError) {
    std::vector<std::u16string> inputs = {
        u"", u"[", u"[[[[", u"]", u"[]", u"[]]", std::u16string(3, u'\0'), u"\r", u"\"", u"=",
        u"[Setup]\n\"", u"[Setup]\n=", u"[Run]\n:", u"[Run]\n\"", u"[Run]\na:\"", u"[Run]\na:\"\"\"",
        u"[Run]\n;;;;", u"[Run]\na:b;;:c", std::u16string(u"[Run]\na:\0b", 10), u"\uFEFF",
        u"[Setup]\n\xD800=\xDC00",
    };
    // Lines of any length in every position.
    const size_t kLong = 1 << 20;
    inputs.push_back(u"[" + std::u16string(kLong, u'x') + u"]\n" + std::u16string(kLong, u';'));
    inputs.push_back(u"[" + std::u16string(kLong, u'['));
    inputs.push_back(u"[Setup]\nK=" + std::u16string(kLong, u'"'));
    inputs.push_back(u"[Setup]\n" + std::u16string(kLong, u'k'));
    inputs.push_back(u"[Run]\nName: \"" + std::u16string(kLong, u'"'));
    inputs.push_back(u"[Run]\nName: \"" + std::u16string(kLong - 1, u'"'));
    inputs.push_back(u"[Run]\n" + std::u16string(kLong, u':'));
    inputs.push_back(std::u16string(kLong, u'\n') + u"x");
    // Binary garbage, drawn from units that matter to the parser and from anywhere.
    uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    const char16_t interesting[] = u"[]:;\"=\r\n \t/x\uFEFF\xD800";
    for (int round = 0; round < 200; ++round) {
        std::u16string text = round % 2 ? u"[Run]\n" : u"[Setup]\n";
        const size_t length = next() % 400;
        for (size_t i = 0; i < length; ++i)
            text += next() % 4 ? interesting[next() % (std::size(interesting) - 1)] : char16_t(next());
        inputs.push_back(std::move(text));
    }

    for (const std::u16string& text : inputs) {
        const TRef<TScript> script = MakeRef<TScript>();
        if (script->Parse(text)) {
            EXPECT_EQ(script->ErrorText, u"");
            continue;
        }
        const std::u16string& error = script->ErrorText;
        ASSERT_TRUE(error.starts_with(u"linha ")) << text.size();
        int64_t line = 0;
        const size_t digitsEnd = error.find_first_not_of(u"0123456789", 6);
        ASSERT_TRUE(TryParseInt64(error.substr(6, digitsEnd - 6), line));
        EXPECT_GE(line, 1);
        EXPECT_LE(size_t(line), SplitLines(text).size());
    }
}
