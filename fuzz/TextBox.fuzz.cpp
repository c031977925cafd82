// The drawn text box under random keys, characters (lone and paired
// surrogates among them), selections with huge values, length limits,
// undo, paste, clicks, scrolling and painting. After every step the
// selection lies inside the text and the undo stack holds at most 100
// snapshots; a plain BackSpace or Delete never leaves half of a pair that
// was whole, and a paste of whole pairs inserts whole pairs only.
//
// Input: one byte per step followed by its arguments.
#include "KsFuzz.h"
#include "Zyl.Platform.Drawn.Edit.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Soft.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Surrogate units that belong to no pair.
size_t LoneHalves(const std::u16string& s) {
    size_t lone = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (IsHigh(s[i]) && i + 1 < s.size() && IsLow(s[i + 1]))
            ++i;
        else if (IsHigh(s[i]) || IsLow(s[i]))
            ++lone;
    }
    return lone;
}

class TReader : public KsFuzz::TByteReader {
public:
    using TByteReader::TByteReader;
    // Mostly characters that matter to the box; now and then any unit.
    char16_t Unit() {
        static constexpr char16_t common[] = {u'a', u'B', u' ', u'\n', u'\r', u'\t', u'7', 0xD83D, 0xDE00, 0xE7};
        const uint8_t b = Byte();
        if (b < 200) return common[b % std::size(common)];
        return char16_t(Byte() | Byte() << 8);
    }
    std::u16string Units() {
        std::u16string s;
        for (int32_t n = Byte() % 12; n > 0; --n) s += Unit();
        return s;
    }
    // Small values, or one of the int32 extremes.
    int32_t Number() {
        static constexpr int32_t extremes[] = {INT32_MIN, INT32_MAX, INT32_MAX - 1, -1};
        const uint8_t b = Byte();
        return b >= 252 ? extremes[b - 252] : int32_t(b) - 20;
    }
};

void Setup() {
    static const bool done = [] {
        SetCurrentPlatformServices(MakeRef<TSoftServices>());
        return true;
    }();
    (void)done;
}

constexpr int32_t Keys[] = {PlatformKeyBackspace, PlatformKeyDelete, PlatformKeyLeft,   PlatformKeyRight,
                            PlatformKeyUp,        PlatformKeyDown,   PlatformKeyHome,   PlatformKeyEnd,
                            PlatformKeyPageUp,    PlatformKeyPageDown, PlatformKeyTab,  PlatformKeyReturn,
                            PlatformKeyInsert,    'a', 'c', 'v', 'x', 'z'};

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    Setup();
    TReader in(data);
    const auto shell = MakeRef<TOffscreenApp>();
    const auto app = MakeRef<TDrawnApp>(shell);
    const auto box = MakeRef<TDrawnTextBox>(app.Get(), shell->CreateCustomControl(), (in.Byte() & 1) != 0);
    box->SetBounds(0, 0, 10 + in.Byte(), 10 + in.Byte() / 2);
    const TRef<TPlatformSurface> surface = CurrentPlatformServices()->CreateSurface(64, 32, false);
    const TRef<TPlatformCanvas> canvas = surface->CreateCanvas();
    for (int32_t step = 0; in.More() && step < 120; ++step) {
        const size_t halvesBefore = LoneHalves(box->Text);
        const bool emptySelection = box->SelAnchor == box->CaretPos;
        switch (in.Byte() % 12) {
        case 0: box->KeyPress(in.Unit()); break;
        case 1: {
            const int32_t key = Keys[in.Byte() % std::size(Keys)];
            const int32_t shift = in.Byte() & (ShiftStateShift | ShiftStateCtrl);
            box->KeyDown(key, shift);
            if ((key == PlatformKeyBackspace || key == PlatformKeyDelete) && shift == 0 && emptySelection)
                KS_FUZZ_CHECK(LoneHalves(box->Text) <= halvesBefore);
            break;
        }
        case 2: {
            const int32_t start = in.Number();
            box->SetSelection(start, in.Number());
            break;
        }
        case 3: box->SetMaxLength(in.Number()); break;
        case 4: box->Undo(); break;
        case 5: {
            const std::u16string clip = in.Units();
            app->SetClipboardText(clip);
            const int32_t from = box->SelStart();
            const std::u16string before = box->Text;
            box->PasteFromClipboard();
            if (LoneHalves(clip) == 0 && box->Text != before)
                KS_FUZZ_CHECK(LoneHalves(box->Text.substr(size_t(from), size_t(box->CaretPos - from))) == 0);
            break;
        }
        case 6: box->SetText(in.Units()); break;
        case 7:
            switch (in.Byte() % 6) {
            case 0: box->SetNumbersOnly(!box->NumbersOnly); break;
            case 1: box->SetCharCase(in.Byte() % 3); break;
            case 2: box->SetReadOnly(!box->ReadOnly); break;
            case 3: box->SetPasswordChar(box->PasswordChar ? 0 : u'*'); break;
            case 4: box->SetWordWrap(!box->WordWrap); break;
            default: box->SetScrollBars(in.Byte() % 4); break;
            }
            break;
        case 8: {
            const int32_t x = in.Number(), y = in.Number();
            switch (in.Byte() % 4) {
            case 0: box->MouseDown(x, y, MouseButtonLeft, in.Byte() & ShiftStateShift); break;
            case 1: box->MouseMove(x, y, 0); break;
            case 2: box->MouseUp(x, y, MouseButtonLeft, 0); break;
            default: box->MouseWheel(x, y, (int32_t(in.Byte()) - 128) * 40, 0); break;
            }
            shell->WaitForEvents(in.Byte() * 4);
            break;
        }
        case 9: box->Paint(canvas.Get()); break;
        case 10:
            KS_FUZZ_CHECK(box->LineFromCharIndex(in.Number()) < box->GetLineCount());
            KS_FUZZ_CHECK(box->LineStartIndex(in.Number()) <= box->Length());
            break;
        default: box->TextBoxScroll((in.Byte() & 1) != 0, in.Byte() % 9, in.Number()); break;
        }
        KS_FUZZ_CHECK(box->SelAnchor >= 0 && box->SelAnchor <= box->Length());
        KS_FUZZ_CHECK(box->CaretPos >= 0 && box->CaretPos <= box->Length());
        KS_FUZZ_CHECK(box->UndoStack.size() <= TDrawnTextBox::MaxUndo);
    }
}
