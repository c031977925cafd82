// The canvas chain parser on any text (the bytes decoded as UTF-8, and the
// same bytes taken as UTF-16 units), against the seven registrations of
// start-up: it agrees with a model parser written from the chain's
// definition (outcome, message, items), and an accepted chain written back
// item by item parses again to the same items.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "System.Remainder.Encoding.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "KsFuzz.h"

using namespace Zyl;

namespace {

using TItems = std::vector<std::pair<std::u16string, std::u16string>>;

struct TModelEntry {
    const char16_t* Name;
    int32_t Kind;
    bool TakesPresenter;
};

// The start-up registrations as the model knows them.
const TModelEntry kEntries[] = {
    {u"gdi-present", 1, false}, {u"x11", 1, false},     {u"wayland", 1, false}, {u"soft", 0, true},
    {u"d2d", 0, true},          {u"gdiplus", 0, true}, {u"gdi", 0, false},
};

void RegisterStartUpEntries() {
    static const bool registered = [] {
        for (const TModelEntry& entry : kEntries)
            RegisterCanvasBackend(entry.Name, u"", entry.Kind, CanvasPlatformWindows, entry.TakesPresenter ? 0x80 : 0, 0,
                                  nullptr, nullptr, nullptr);
        return true;
    }();
    (void)registered;
}

const TModelEntry* Lookup(const std::u16string& name) {
    for (const TModelEntry& entry : kEntries)
        if (name == entry.Name) return &entry;
    return nullptr;
}

std::u16string TrimModel(std::u16string text) {
    while (!text.empty() && text.back() <= u' ') text.pop_back();
    size_t first = 0;
    while (first < text.size() && text[first] <= u' ') ++first;
    return text.substr(first);
}

// The chain split at every ",", empty pieces included.
std::vector<std::u16string> Pieces(const std::u16string& text) {
    std::vector<std::u16string> pieces(1);
    for (const char16_t unit : text) {
        if (unit == u',')
            pieces.emplace_back();
        else
            pieces.back() += unit;
    }
    return pieces;
}

struct TModelResult {
    bool Ok = true;
    std::u16string Message;
    TItems Items;
};

TModelResult ParseModel(const std::u16string& chain) {
    TModelResult result;
    const std::u16string quoted = u"\"" + chain + u"\"";
    const std::u16string listing = DescribeCanvasBackends();
    const auto fail = [&result](std::u16string message) {
        result.Ok = false;
        result.Message = std::move(message);
        return result;
    };
    for (const std::u16string& piece : Pieces(System::LowerCase(TrimModel(chain)))) {
        const std::u16string item = TrimModel(piece);
        if (item.empty()) return fail(u"Escolha de canvas invalida " + quoted + u": item vazio na cadeia.");
        const size_t plus = item.find(u'+');
        const std::u16string backend = TrimModel(item.substr(0, plus));
        const std::u16string presenter = plus == std::u16string::npos ? u"" : TrimModel(item.substr(plus + 1));
        const TModelEntry* backendEntry = Lookup(backend);
        if (!backendEntry || backendEntry->Kind != 0)
            return fail(u"Backend de canvas desconhecido \"" + backend + u"\" na escolha " + quoted +
                        u". Backends registrados:\n" + listing + u"  (ou \"auto\")");
        if (!presenter.empty()) {
            const TModelEntry* presenterEntry = Lookup(presenter == u"gdi" ? u"gdi-present" : presenter);
            if (!presenterEntry || presenterEntry->Kind != 1)
                return fail(u"Apresentador de canvas desconhecido \"" + presenter + u"\" na escolha " + quoted +
                            u". Backends registrados:\n" + listing);
            if (!backendEntry->TakesPresenter)
                return fail(u"O backend \"" + backend +
                            u"\" nao aceita apresentador (sua superficie nao e' um bitmap BGRA acessivel); use \"soft+" +
                            presenter + u"\".");
        }
        if (result.Items.size() == 16) return fail(u"Cadeia de canvas longa demais (maximo 16 itens).");
        result.Items.emplace_back(backend, presenter);
    }
    return result;
}

TItems ItemsOf(const TCanvasChain& chain) {
    TItems items;
    for (int32_t i = 0; i < chain.Count; ++i) items.emplace_back(chain.Backends[size_t(i)], chain.Presenters[size_t(i)]);
    return items;
}

void Check(const std::u16string& text) {
    TCanvasChain parsed;
    std::u16string message;
    const bool ok = ParseCanvasChain(text, parsed, message);
    const TModelResult model = ParseModel(text);
    KS_FUZZ_CHECK(ok == model.Ok);
    KS_FUZZ_CHECK(message == model.Message);
    // On failure the items before the failing one stay.
    KS_FUZZ_CHECK(ItemsOf(parsed) == model.Items);
    if (!ok) return;
    std::u16string again;
    for (const auto& [backend, presenter] : model.Items)
        again += (again.empty() ? u"" : u",") + backend + (presenter.empty() ? u"" : u"+" + presenter);
    TCanvasChain reparsed;
    KS_FUZZ_CHECK(ParseCanvasChain(again, reparsed, message));
    KS_FUZZ_CHECK(ItemsOf(reparsed) == model.Items);
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    RegisterStartUpEntries();
    Check(System::GetUtf8Encoding()->GetUString(data.data(), ptrdiff_t(data.size())));
    Check(Units(data));
}
