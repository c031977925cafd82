#include "Zyl.Platform.CanvasBackend.h"

#include <utility>

#include "Zyl.Platform.CanvasBackend.Reset.h"

namespace Zyl {

namespace {

struct TRegistry {
    std::array<TRef<TCanvasBackendInfo>, MaxCanvasBackends> Slots;
    int32_t Count = 0;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

struct TChoice {
    // The trimmed, lower-cased chain last accepted; empty for none.
    std::u16string ProgramCanvasChoice;
    // The item activation succeeded with; empty before.
    std::u16string ActiveCanvasItem;
};

TChoice& Choice() {
    static TChoice choice;
    return choice;
}

bool ForCurrentPlatform(const TCanvasBackendInfo& entry) {
    return (entry.Platforms & CurrentCanvasPlatform) != 0;
}

bool Passes(TCanvasBackendTest test) {
    return !test || test();
}

// The platform bit first: a foreign entry's test is never called.
bool Usable(const TCanvasBackendInfo& entry) {
    return ForCurrentPlatform(entry) && Passes(entry.AvailabilityTest);
}

// "backend" or "backend+presenter".
std::u16string ItemText(const std::u16string& backend, const std::u16string& presenter) {
    return presenter.empty() ? backend : backend + u"+" + presenter;
}

const std::u16string kEnvCanvas = u"ZYL_CANVAS";

} // namespace

// --- Registry ---------------------------------------------------------------

void RegisterCanvasBackend(const std::u16string& Name, const std::u16string& Description, int32_t Kind,
                           int32_t Platforms, int32_t Caps, int32_t Priority, TCanvasBackendTest AvailabilityTest,
                           TCanvasBackendTest AutoChoiceTest, TCanvasBackendFactory Factory) {
    const std::u16string key = System::LowerCase(Name);
    TRef<TCanvasBackendInfo> entry = FindCanvasBackend(key);
    if (!entry) {
        TRegistry& registry = Registry();
        if (registry.Count == MaxCanvasBackends)
            throw System::Exception(u"Registro de backends de canvas cheio (64).");
        entry = System::MakeRef<TCanvasBackendInfo>();
        registry.Slots[size_t(registry.Count++)] = entry;
    }
    entry->Name = key;
    entry->Description = Description;
    entry->Kind = Kind;
    entry->Platforms = Platforms;
    entry->Caps = Caps;
    entry->Priority = Priority;
    entry->AvailabilityTest = AvailabilityTest;
    entry->AutoChoiceTest = AutoChoiceTest;
    entry->Factory = Factory;
}

TRef<TCanvasBackendInfo> FindCanvasBackend(const std::u16string& Name) {
    const std::u16string key = System::LowerCase(Name);
    const TRegistry& registry = Registry();
    for (int32_t i = 0; i < registry.Count; ++i)
        if (registry.Slots[size_t(i)]->Name == key) return registry.Slots[size_t(i)];
    return nullptr;
}

int32_t CanvasBackendCount() {
    return Registry().Count;
}

TRef<TCanvasBackendInfo> CanvasBackendAt(int32_t Index) {
    return Registry().Slots.at(size_t(Index));
}

std::vector<int32_t> ListCanvasBackendsSorted(bool OnlyUsable) {
    const TRegistry& registry = Registry();
    std::vector<int32_t> list;
    for (int32_t i = 0; i < registry.Count; ++i)
        if (!OnlyUsable || Usable(*registry.Slots[size_t(i)])) list.push_back(i);
    // Insertion sort, stable: a later entry passes an earlier one only with a
    // smaller kind, or the same kind and a strictly greater priority.
    const auto before = [&registry](int32_t a, int32_t b) {
        const TCanvasBackendInfo& x = *registry.Slots[size_t(a)];
        const TCanvasBackendInfo& y = *registry.Slots[size_t(b)];
        return x.Kind < y.Kind || (x.Kind == y.Kind && x.Priority > y.Priority);
    };
    for (size_t i = 1; i < list.size(); ++i) {
        const int32_t moving = list[i];
        size_t j = i;
        for (; j > 0 && before(moving, list[j - 1]); --j) list[j] = list[j - 1];
        list[j] = moving;
    }
    return list;
}

std::u16string DescribeCanvasBackends() {
    std::u16string text;
    for (const int32_t index : ListCanvasBackendsSorted(false)) {
        const TCanvasBackendInfo& entry = *Registry().Slots[size_t(index)];
        text += u"  " + entry.Name;
        text += entry.Kind == CanvasKindBackend ? u" (rasterizador, " : u" (apresentador, ";
        text += Usable(entry) ? u"disponivel" : u"indisponivel";
        text += u", " + CanvasPlatformsText(entry.Platforms) + u")";
        text += u" " + System::Quoted(CanvasBackendTitle(entry));
        if (!entry.Description.empty()) text += u" - " + entry.Description;
        text += u'\n';
    }
    return text;
}

std::u16string CanvasBackendTitle(const TCanvasBackendInfo& Entry) {
    return Entry.DisplayName.empty() ? StandardBackendTitle(Entry.Name) : Entry.DisplayName;
}

std::u16string StandardBackendTitle(const std::u16string& Name) {
    static const std::pair<const char16_t*, const char16_t*> titles[] = {
        {u"soft", u"Soft"},       {u"gdi", u"GDI"},     {u"gdi-present", u"GDI"}, {u"gdiplus", u"GDI+"},
        {u"d2d", u"Direct2D"},    {u"cairo", u"Cairo"}, {u"d3d11", u"D3D11"},     {u"d3d12", u"D3D12"},
        {u"dcomp", u"DComp"},     {u"x11", u"X11"},     {u"wayland", u"Wayland"},
    };
    for (const auto& [name, title] : titles)
        if (Name == name) return title;
    if (Name.empty()) return {};
    return System::UpperCase(Name.substr(0, 1)) + Name.substr(1);
}

std::u16string CanvasPlatformsText(int32_t Platforms) {
    std::u16string text;
    if (Platforms & CanvasPlatformWindows) text += u"win ";
    if (Platforms & CanvasPlatformLinux) text += u"linux ";
    if (Platforms & CanvasPlatformWeb) text += u"web ";
    if (!text.empty()) text.pop_back();
    return text;
}

// --- Chain and choice -------------------------------------------------------

bool ParseCanvasChain(const std::u16string& Chain, TCanvasChain& Parsed, std::u16string& Message) {
    Parsed = TCanvasChain();
    Message.clear();
    const std::u16string s = System::LowerCase(System::Trim(Chain));
    const std::u16string quotedChain = System::Quoted(Chain);
    size_t start = 0;
    for (;;) {
        const size_t comma = s.find(u',', start);
        const size_t end = comma == std::u16string::npos ? s.size() : comma;
        const std::u16string item = System::Trim(s.substr(start, end - start));
        if (item.empty()) {
            Message = u"Escolha de canvas invalida " + quotedChain + u": item vazio na cadeia.";
            return false;
        }
        const size_t plus = item.find(u'+');
        const std::u16string backend = System::Trim(item.substr(0, plus));
        const std::u16string presenter = plus == std::u16string::npos ? u"" : System::Trim(item.substr(plus + 1));

        const TRef<TCanvasBackendInfo> backendEntry = FindCanvasBackend(backend);
        if (!backendEntry || backendEntry->Kind != CanvasKindBackend) {
            Message = u"Backend de canvas desconhecido " + System::Quoted(backend) + u" na escolha " + quotedChain +
                      u". Backends registrados:\n" + DescribeCanvasBackends() + u"  (ou \"auto\")";
            return false;
        }
        if (!presenter.empty()) {
            const TRef<TCanvasBackendInfo> presenterEntry = FindCanvasBackend(ResolvePresenterAlias(presenter));
            if (!presenterEntry || presenterEntry->Kind != CanvasKindPresenter) {
                Message = u"Apresentador de canvas desconhecido " + System::Quoted(presenter) + u" na escolha " +
                          quotedChain + u". Backends registrados:\n" + DescribeCanvasBackends();
                return false;
            }
            if (!(backendEntry->Caps & CanvasCapsBgraSurface)) {
                Message = u"O backend " + System::Quoted(backend) +
                          u" nao aceita apresentador (sua superficie nao e' um bitmap BGRA acessivel); use " +
                          System::Quoted(u"soft+" + presenter) + u".";
                return false;
            }
        }
        if (Parsed.Count == MaxCanvasChainItems) {
            Message = u"Cadeia de canvas longa demais (maximo 16 itens).";
            return false;
        }
        Parsed.Backends[size_t(Parsed.Count)] = backend;
        Parsed.Presenters[size_t(Parsed.Count)] = presenter;
        ++Parsed.Count;
        if (comma == std::u16string::npos) return true;
        start = comma + 1;
    }
}

std::u16string ResolvePresenterAlias(const std::u16string& Name) {
    const std::u16string name = System::LowerCase(System::Trim(Name));
    return name == u"gdi" ? u"gdi-present" : name;
}

bool IsAutoCanvasChoice(const std::u16string& Text) {
    const std::u16string text = System::LowerCase(System::Trim(Text));
    return text.empty() || text == u"auto";
}

bool TrySetCanvasChoice(const std::u16string& Chain, std::u16string& Message) {
    Message.clear();
    if (IsAutoCanvasChoice(Chain)) {
        Choice().ProgramCanvasChoice.clear();
        return true;
    }
    TCanvasChain parsed;
    if (!ParseCanvasChain(Chain, parsed, Message)) return false;
    Choice().ProgramCanvasChoice = System::LowerCase(System::Trim(Chain));
    return true;
}

void SetCanvasChoice(const std::u16string& Chain) {
    std::u16string message;
    if (!TrySetCanvasChoice(Chain, message)) throw System::Exception(message);
}

std::u16string ReadCanvasEnvChoice() {
    return System::Trim(ReadEnvVar(kEnvCanvas));
}

std::u16string GetCanvasChoice() {
    std::u16string choice = ReadCanvasEnvChoice();
    if (!choice.empty()) return choice;
    if (!Choice().ProgramCanvasChoice.empty()) return Choice().ProgramCanvasChoice;
    return u"auto";
}

std::u16string BuildAutoCanvasChain() {
    std::u16string chain;
    for (const int32_t index : ListCanvasBackendsSorted(true)) {
        const TCanvasBackendInfo& entry = *Registry().Slots[size_t(index)];
        if (entry.Kind != CanvasKindBackend || !Passes(entry.AutoChoiceTest)) continue;
        if (!chain.empty()) chain += u',';
        chain += entry.Name;
    }
    return chain;
}

namespace {

// The entry of an item's name when it can run here: registered, for this
// platform, available and with a factory; nil otherwise.
TRef<TCanvasBackendInfo> Runnable(const std::u16string& name) {
    TRef<TCanvasBackendInfo> entry = FindCanvasBackend(name);
    if (!entry || !Usable(*entry) || !entry->Factory) return nullptr;
    return entry;
}

} // namespace

bool TryActivateCanvasItem(const std::u16string& Backend, const std::u16string& Presenter) {
    const TRef<TCanvasBackendInfo> backend = Runnable(Backend);
    if (!backend) return false;
    TRef<TCanvasBackendInfo> presenter;
    if (!Presenter.empty()) {
        presenter = Runnable(ResolvePresenterAlias(Presenter));
        if (!presenter) return false;
    }
    backend->Factory();
    if (!CurrentPlatformServices()) return false;
    if (presenter) presenter->Factory();
    return true;
}

std::u16string ActivateCanvasBackend() {
    if (CurrentPlatformServices()) return ActiveCanvasBackendName();
    std::u16string choice = GetCanvasChoice();
    if (IsAutoCanvasChoice(choice)) choice = BuildAutoCanvasChain();
    if (choice.empty())
        throw System::Exception(u"Nenhum backend de canvas disponivel nesta plataforma. Registrados:\n" +
                                DescribeCanvasBackends());
    TCanvasChain chain;
    std::u16string message;
    if (!ParseCanvasChain(choice, chain, message)) throw System::Exception(message);
    std::u16string tried;
    for (int32_t i = 0; i < chain.Count; ++i) {
        const std::u16string& backend = chain.Backends[size_t(i)];
        const std::u16string& presenter = chain.Presenters[size_t(i)];
        if (TryActivateCanvasItem(backend, presenter)) {
            Choice().ActiveCanvasItem = ItemText(backend, presenter);
            return Choice().ActiveCanvasItem;
        }
        if (!tried.empty()) tried += u", ";
        tried += ItemText(backend, presenter);
    }
    throw System::Exception(u"Nenhum backend de canvas da escolha " + System::Quoted(choice) +
                            u" esta' disponivel (tentados: " + tried + u"). Backends:\n" +
                            DescribeCanvasBackends());
}

std::u16string ActiveCanvasBackendName() {
    if (!CurrentPlatformServices()) return {};
    return Choice().ActiveCanvasItem.empty() ? u"externo" : Choice().ActiveCanvasItem;
}

// --- Test reset -------------------------------------------------------------

void ResetCanvasBackendState() {
    Registry() = TRegistry();
    Choice() = TChoice();
    SetCurrentPlatformServices(nullptr);
    ResetCanvasPresenters();
}

} // namespace Zyl
