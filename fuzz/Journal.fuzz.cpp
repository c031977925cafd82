// The journal loader on any text: the bytes decoded as UTF-8, as the file is
// read, and the same bytes taken as UTF-16 units, which reach every unit a
// text can hold. A text either parses or not; a parsed journal's own text
// parses back to the same records (for the UTF-8 text, through the file's
// bytes as well), and JournalField answers every field of every record, as
// a kind's last field or not, as a model that splits the line at each "|" does.
#include <cstdint>
#include <string>
#include <vector>

#include "KS.Journal.h"
#include "KS.Sys.Text.h"
#include "KsFuzz.h"

using namespace KS;
using System::MakeRef;
using System::TRef;

namespace {

// The line split at every "|".
std::vector<std::u16string> Pieces(const std::u16string& line) {
    std::vector<std::u16string> pieces(1);
    for (char16_t unit : line) {
        if (unit == u'|')
            pieces.emplace_back();
        else
            pieces.back() += unit;
    }
    return pieces;
}

// Field n: piece n, or for a kind's last field every piece from n on, joined
// again; empty past the last piece.
std::u16string FieldModel(const std::vector<std::u16string>& pieces, size_t n, bool last) {
    if (n >= pieces.size()) return {};
    if (!last) return pieces[n];
    std::u16string rest = pieces[n];
    for (size_t i = n + 1; i < pieces.size(); ++i) rest += u"|" + pieces[i];
    return rest;
}

void CheckRecords(const TJournal& journal) {
    for (const std::u16string& record : journal.Records()) {
        KS_FUZZ_CHECK(!record.empty());
        KS_FUZZ_CHECK(record.find_first_of(u"\r\n") == std::u16string::npos);
        KS_FUZZ_CHECK(journal.Contains(AsciiLowerCase(record)));
        // Field n is its kind's last one when the kind has n + 1 fields.
        const std::vector<std::u16string> pieces = Pieces(record);
        for (int n = 0; n <= 6; ++n) {
            KS_FUZZ_CHECK(JournalField(record, n, n + 1) == FieldModel(pieces, size_t(n), true));
            KS_FUZZ_CHECK(JournalField(record, n, n + 2) == FieldModel(pieces, size_t(n), false));
        }
    }
}

// A meta record set on a loaded journal replaces the first of its name in
// place, or comes last.
void CheckMeta(const TJournal& loaded) {
    TRef<TJournal> journal = MakeRef<TJournal>();
    for (const std::u16string& record : loaded.Records()) journal->AddRecordLine(record);
    const size_t count = journal->Records().size();
    const bool present = journal->GetMeta(u"AppName", u"\uFFFF") != u"\uFFFF";
    journal->SetMeta(u"AppName", u"Ostrel|Dax");
    KS_FUZZ_CHECK(journal->GetMeta(u"AppName", u"") == u"Ostrel|Dax");
    KS_FUZZ_CHECK(journal->Contains(u"M|APPNAME|OSTREL|DAX"));
    KS_FUZZ_CHECK(journal->Records().size() == count + (present ? 0 : 1));
}

// Parses the text; when it loads, checks the records and that the journal's
// own text gives them back. Returns the loaded journal or null.
TRef<TJournal> CheckText(const std::u16string& text) {
    TRef<TJournal> journal = MakeRef<TJournal>();
    journal->AddFile(u"left over");
    journal->RebootNeeded = true;
    const bool loaded = journal->ParseText(text);
    KS_FUZZ_CHECK(!journal->RebootNeeded);
    if (!loaded) {
        KS_FUZZ_CHECK(journal->Records().empty());
        return nullptr;
    }
    CheckRecords(*journal);
    CheckMeta(*journal);
    TRef<TJournal> again = MakeRef<TJournal>();
    KS_FUZZ_CHECK(again->ParseText(journal->ToText()));
    KS_FUZZ_CHECK(again->Records() == journal->Records());
    return journal;
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    const TRef<TJournal> journal = CheckText(DecodeUtf8(data.data(), ptrdiff_t(data.size())));
    if (journal) {
        // What a save writes and a load reads back.
        const System::TBytes bytes = StringToUtf8Bytes(journal->ToText());
        TRef<TJournal> again = MakeRef<TJournal>();
        KS_FUZZ_CHECK(again->ParseText(DecodeUtf8(bytes.data(), ptrdiff_t(bytes.size()))));
        KS_FUZZ_CHECK(again->Records() == journal->Records());
    }
    CheckText(Units(data));
}
