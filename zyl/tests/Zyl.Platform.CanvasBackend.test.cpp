#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Memory.h"
#include "Zyl.Test.Text.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;

namespace {

// What the stand-ins' tests and factories were asked, in order.
std::vector<std::string> Log;
bool D2dUsable = true;

void InstallServices() {
    if (!CurrentPlatformServices()) SetCurrentPlatformServices(MakeRef<TMemoryServices>());
}

bool TestGdiPresent() { Log.push_back("test gdi-present"); return true; }
bool TestX11() { Log.push_back("test x11"); return true; }
bool TestWayland() { Log.push_back("test wayland"); return true; }
bool TestD2d() { Log.push_back("test d2d"); return D2dUsable; }
bool TestGdiplus() { Log.push_back("test gdiplus"); return true; }
bool Refuse() { return false; }
void MakeGdiPresent() { Log.push_back("factory gdi-present"); }
void MakeX11() { Log.push_back("factory x11"); }
void MakeWayland() { Log.push_back("factory wayland"); }
void MakeSoft() { Log.push_back("factory soft"); InstallServices(); }
void MakeD2d() { Log.push_back("factory d2d"); InstallServices(); }
void MakeGdiplus() { Log.push_back("factory gdiplus"); InstallServices(); }
void MakeGdi() { Log.push_back("factory gdi"); InstallServices(); }

const std::u16string kSoftDescription =
    u"Canvas por software (BGRA, texto por contornos de fontes empacotadas): pixels identicos em todos os sistemas";
const std::u16string kX11Description =
    u"Apresentacao pela casca X11 (PutImage / MIT-SHM); a casca do Linux escolhe sozinha";

// The seven registrations of start-up, in their order, with stand-in tests
// and factories.
void RegisterStandIns() {
    RegisterCanvasBackend(u"gdi-present", u"", CanvasKindPresenter, 1, 0x300, 10, TestGdiPresent, nullptr,
                          MakeGdiPresent);
    RegisterCanvasBackend(u"x11", kX11Description, CanvasKindPresenter, 2, 0x200, 10, TestX11, nullptr, MakeX11);
    RegisterCanvasBackend(u"wayland", u"", CanvasKindPresenter, 2, 0x200, 11, TestWayland, nullptr, MakeWayland);
    RegisterCanvasBackend(u"soft", kSoftDescription, CanvasKindBackend, 7, 0xBD, 100, nullptr, Refuse, MakeSoft);
    RegisterCanvasBackend(u"d2d", u"", CanvasKindBackend, 1, 0x9E, 40, TestD2d, Refuse, MakeD2d);
    RegisterCanvasBackend(u"gdiplus", u"", CanvasKindBackend, 1, 0x9E, 30, TestGdiplus, Refuse, MakeGdiplus);
    RegisterCanvasBackend(u"gdi", u"", CanvasKindBackend, 1, 0x0E, 50, nullptr, nullptr, MakeGdi);
}

std::vector<std::string> Names(const std::vector<int32_t>& slots) {
    std::vector<std::string> names;
    for (const int32_t slot : slots) names.push_back(Narrow(CanvasBackendAt(slot)->Name));
    return names;
}

std::vector<std::string> Tested() {
    std::vector<std::string> tests;
    for (const std::string& entry : Log)
        if (entry.rfind("test ", 0) == 0) tests.push_back(entry);
    return tests;
}

class CanvasBackend : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCanvasBackendState();
        Log.clear();
        D2dUsable = true;
        RegisterStandIns();
    }
    void TearDown() override { ResetCanvasBackendState(); }

    TScopedEnvVar canvas_{u"ZYL_CANVAS", std::nullopt};
};

} // namespace

// --- Registry ---------------------------------------------------------------

TEST_F(CanvasBackend, SortsByKindThenPriorityKeepingRegistrationOrderForTies) {
    EXPECT_EQ(Names(ListCanvasBackendsSorted(false)),
              (std::vector<std::string>{"soft", "gdi", "d2d", "gdiplus", "wayland", "gdi-present", "x11"}));
    EXPECT_TRUE(Log.empty());
}

TEST_F(CanvasBackend, UsableListTestsOnlyEntriesOfThisPlatform) {
    EXPECT_EQ(Names(ListCanvasBackendsSorted(true)),
              (std::vector<std::string>{"soft", "gdi", "d2d", "gdiplus", "gdi-present"}));
    EXPECT_EQ(Tested(), (std::vector<std::string>{"test gdi-present", "test d2d", "test gdiplus"}));
    D2dUsable = false;
    EXPECT_EQ(Names(ListCanvasBackendsSorted(true)),
              (std::vector<std::string>{"soft", "gdi", "gdiplus", "gdi-present"}));
}

TEST_F(CanvasBackend, SortComparesSignedKindAndPriority) {
    ResetCanvasBackendState();
    RegisterCanvasBackend(u"a", u"", 0, 1, 0, -5, nullptr, nullptr, nullptr);
    RegisterCanvasBackend(u"b", u"", -1, 1, 0, 0, nullptr, nullptr, nullptr);
    RegisterCanvasBackend(u"c", u"", 0, 1, 0, INT32_MIN, nullptr, nullptr, nullptr);
    RegisterCanvasBackend(u"d", u"", 0, 1, 0, -5, nullptr, nullptr, nullptr);
    EXPECT_EQ(Names(ListCanvasBackendsSorted(false)), (std::vector<std::string>{"b", "a", "d", "c"}));
}

TEST_F(CanvasBackend, ListingLinesAreExactAndForeignTestsAreNotCalled) {
    const std::u16string listing = DescribeCanvasBackends();
    EXPECT_NE(listing.find(u"  soft (rasterizador, disponivel, win linux web) \"Soft\" - " + kSoftDescription + u"\n"),
              std::u16string::npos);
    EXPECT_NE(listing.find(u"  x11 (apresentador, indisponivel, linux) \"X11\" - " + kX11Description + u"\n"),
              std::u16string::npos);
    EXPECT_EQ(listing.rfind(u"  soft ", 0), 0u);
    EXPECT_NE(listing.find(u"  gdi (rasterizador, disponivel, win) \"GDI\"\n"), std::u16string::npos);
    EXPECT_EQ(Tested(), (std::vector<std::string>{"test d2d", "test gdiplus", "test gdi-present"}));
    D2dUsable = false;
    EXPECT_NE(DescribeCanvasBackends().find(u"  d2d (rasterizador, indisponivel, win) \"Direct2D\"\n"),
              std::u16string::npos);
    ResetCanvasBackendState();
    EXPECT_EQ(DescribeCanvasBackends(), u"");
}

TEST_F(CanvasBackend, TitlesAndPlatformTexts) {
    struct Row {
        std::u16string name, title;
    } rows[] = {{u"soft", u"Soft"},   {u"gdi", u"GDI"},       {u"gdi-present", u"GDI"}, {u"gdiplus", u"GDI+"},
                {u"d2d", u"Direct2D"}, {u"cairo", u"Cairo"},   {u"d3d11", u"D3D11"},     {u"d3d12", u"D3D12"},
                {u"dcomp", u"DComp"},  {u"x11", u"X11"},       {u"wayland", u"Wayland"}, {u"abc", u"Abc"},
                {u"GDI", u"GDI"},      {u"gDI", u"GDI"},       {u"", u""},              {u"é", u"É"}};
    for (const Row& row : rows) EXPECT_EQ(StandardBackendTitle(row.name), row.title) << Narrow(row.name);
    EXPECT_EQ(CanvasPlatformsText(7), u"win linux web");
    EXPECT_EQ(CanvasPlatformsText(1), u"win");
    EXPECT_EQ(CanvasPlatformsText(2), u"linux");
    EXPECT_EQ(CanvasPlatformsText(6), u"linux web");
    EXPECT_EQ(CanvasPlatformsText(8), u"");
    FindCanvasBackend(u"gdi")->DisplayName = u"Meu GDI";
    EXPECT_EQ(CanvasBackendTitle(*FindCanvasBackend(u"gdi")), u"Meu GDI");
}

TEST_F(CanvasBackend, NamesAreLowerCasedNotTrimmedAndUpdatesKeepTheirSlot) {
    ASSERT_EQ(CanvasBackendCount(), 7);
    FindCanvasBackend(u"gdi")->DisplayName = u"Meu GDI";
    RegisterCanvasBackend(u"GDI", u"novo", CanvasKindBackend, 1, 0x80, 99, nullptr, nullptr, MakeGdi);
    EXPECT_EQ(CanvasBackendCount(), 7);
    const auto gdi = CanvasBackendAt(6);
    EXPECT_EQ(gdi->Name, u"gdi");
    EXPECT_EQ(gdi->Description, u"novo");
    EXPECT_EQ(gdi->Priority, 99);
    EXPECT_EQ(gdi->Caps, 0x80);
    EXPECT_EQ(gdi->DisplayName, u"Meu GDI");
    EXPECT_EQ(FindCanvasBackend(u"Soft"), CanvasBackendAt(3));
    EXPECT_EQ(FindCanvasBackend(u""), nullptr);

    RegisterCanvasBackend(u" gdi ", u"", CanvasKindBackend, 1, 0, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(CanvasBackendCount(), 8);
    EXPECT_EQ(CanvasBackendAt(7)->Name, u" gdi ");
    EXPECT_EQ(FindCanvasBackend(u"gdi"), CanvasBackendAt(6));
}

TEST_F(CanvasBackend, AFullRegistryStillUpdatesButRefusesANewName) {
    for (int32_t i = CanvasBackendCount(); i < MaxCanvasBackends; ++i)
        RegisterCanvasBackend(u"b" + System::Int64ToStr(i), u"", CanvasKindBackend, 1, 0, 0, nullptr, nullptr, nullptr);
    ASSERT_EQ(CanvasBackendCount(), 64);
    RegisterCanvasBackend(u"SOFT", u"atualizado", CanvasKindBackend, 7, 0xBD, 100, nullptr, Refuse, MakeSoft);
    EXPECT_EQ(FindCanvasBackend(u"soft")->Description, u"atualizado");
    try {
        RegisterCanvasBackend(u"extra", u"", CanvasKindBackend, 1, 0, 0, nullptr, nullptr, nullptr);
        FAIL() << "a 65th name was accepted";
    } catch (const System::Exception& e) {
        EXPECT_EQ(e.Message, u"Registro de backends de canvas cheio (64).");
    }
    EXPECT_EQ(CanvasBackendCount(), 64);
    EXPECT_EQ(FindCanvasBackend(u"extra"), nullptr);
}

// --- Chain ------------------------------------------------------------------

namespace {

std::u16string Repeat(const std::u16string& item, int count) {
    std::u16string chain;
    for (int i = 0; i < count; ++i) chain += (i ? u"," : u"") + item;
    return chain;
}

} // namespace

TEST_F(CanvasBackend, ParsesItemsOrGivesTheExactMessage) {
    const std::u16string listing = DescribeCanvasBackends();
    const std::u16string unknownTail = u". Backends registrados:\n" + listing + u"  (ou \"auto\")";
    struct Row {
        std::u16string chain;
        std::vector<std::pair<std::u16string, std::u16string>> items;  // on success
        std::u16string message;                                          // on failure
    } rows[] = {
        {u" Soft + GDI ", {{u"soft", u"gdi"}}, u""},
        {u"soft+", {{u"soft", u""}}, u""},
        {u"d2d , gdi", {{u"d2d", u""}, {u"gdi", u""}}, u""},
        {u"soft+gdi-present,soft+wayland", {{u"soft", u"gdi-present"}, {u"soft", u"wayland"}}, u""},
        {u"gdi+gdi", {},
         u"O backend \"gdi\" nao aceita apresentador (sua superficie nao e' um bitmap BGRA acessivel); use "
         u"\"soft+gdi\"."},
        {u"gdi,,soft", {}, u"Escolha de canvas invalida \"gdi,,soft\": item vazio na cadeia."},
        {u"gdi,", {}, u"Escolha de canvas invalida \"gdi,\": item vazio na cadeia."},
        {u"  ", {}, u"Escolha de canvas invalida \"  \": item vazio na cadeia."},
        {u"+gdi", {}, u"Backend de canvas desconhecido \"\" na escolha \"+gdi\"" + unknownTail},
        {u"gdi-present", {}, u"Backend de canvas desconhecido \"gdi-present\" na escolha \"gdi-present\"" + unknownTail},
        {u"soft+nope", {},
         u"Apresentador de canvas desconhecido \"nope\" na escolha \"soft+nope\". Backends registrados:\n" + listing},
        {u"soft+d2d", {},
         u"Apresentador de canvas desconhecido \"d2d\" na escolha \"soft+d2d\". Backends registrados:\n" + listing},
        {u"x,auto", {}, u"Backend de canvas desconhecido \"x\" na escolha \"x,auto\"" + unknownTail},
        {u"gdi,AUTO", {}, u"Backend de canvas desconhecido \"auto\" na escolha \"gdi,AUTO\"" + unknownTail},
        {Repeat(u"gdi", 16), std::vector<std::pair<std::u16string, std::u16string>>(16, {u"gdi", u""}), u""},
        {Repeat(u"gdi", 17), {}, u"Cadeia de canvas longa demais (maximo 16 itens)."},
        {Repeat(u"gdi", 16) + u",nope", {},
         u"Backend de canvas desconhecido \"nope\" na escolha \"" + Repeat(u"gdi", 16) + u",nope\"" + unknownTail},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.chain));
        TCanvasChain parsed;
        std::u16string message = u"old";
        const bool ok = ParseCanvasChain(row.chain, parsed, message);
        EXPECT_EQ(ok, row.message.empty());
        EXPECT_EQ(Narrow(message), Narrow(row.message));
        if (!ok) continue;
        ASSERT_EQ(parsed.Count, int32_t(row.items.size()));
        for (size_t i = 0; i < row.items.size(); ++i) {
            EXPECT_EQ(parsed.Backends[i], row.items[i].first);
            EXPECT_EQ(parsed.Presenters[i], row.items[i].second);
        }
    }
}

TEST_F(CanvasBackend, AFailedParseKeepsTheItemsBeforeTheFailingOne) {
    TCanvasChain parsed;
    std::u16string message;
    ASSERT_FALSE(ParseCanvasChain(u"soft, gdi ,nope", parsed, message));
    EXPECT_EQ(parsed.Count, 2);
    EXPECT_EQ(parsed.Backends[1], u"gdi");
}

TEST_F(CanvasBackend, ProgramChoiceIsStoredTrimmedLowerCasedAndKeptOnError) {
    SetCanvasChoice(u"  D2D,GDI ");
    EXPECT_EQ(GetCanvasChoice(), u"d2d,gdi");
    std::u16string message = u"old";
    EXPECT_FALSE(TrySetCanvasChoice(u"nope", message));
    EXPECT_EQ(message.rfind(u"Backend de canvas desconhecido \"nope\"", 0), 0u);
    EXPECT_THROW(SetCanvasChoice(u"gdi+gdi"), System::Exception);
    EXPECT_EQ(GetCanvasChoice(), u"d2d,gdi");
    EXPECT_TRUE(TrySetCanvasChoice(u" AUTO ", message));
    EXPECT_EQ(message, u"");
    EXPECT_EQ(GetCanvasChoice(), u"auto");
    SetCanvasChoice(u"gdi");
    SetCanvasChoice(u"");
    EXPECT_EQ(GetCanvasChoice(), u"auto");
}

TEST_F(CanvasBackend, AutomaticChainKeepsUsableBackendsThatAllowIt) {
    EXPECT_EQ(BuildAutoCanvasChain(), u"gdi");
    RegisterCanvasBackend(u"extra", u"", CanvasKindBackend, 1, 0, 60, nullptr, nullptr, MakeGdi);
    RegisterCanvasBackend(u"fora", u"", CanvasKindBackend, 2, 0, 70, nullptr, nullptr, MakeGdi);
    EXPECT_EQ(BuildAutoCanvasChain(), u"extra,gdi");
    EXPECT_TRUE(IsAutoCanvasChoice(u" Auto "));
    EXPECT_TRUE(IsAutoCanvasChoice(u"\t"));
    EXPECT_FALSE(IsAutoCanvasChoice(u"auto,gdi"));
}

TEST_F(CanvasBackend, ActivationFollowsTheEnvironmentOverTheProgramChoice) {
    struct Row {
        std::optional<std::u16string> env;
        bool d2d;
        std::u16string choice;
        std::u16string item;         // on success
        std::u16string messageHead;  // on failure, followed by the listing
    } rows[] = {
        {std::nullopt, true, u"d2d,gdi", u"d2d", u""},
        {std::nullopt, false, u"d2d,gdi", u"gdi", u""},
        {u"   ", true, u"d2d,gdi", u"d2d", u""},
        {u"auto", true, u"auto", u"gdi", u""},
        {u"D2D", false, u"D2D", u"",
         u"Nenhum backend de canvas da escolha \"D2D\" esta' disponivel (tentados: d2d). Backends:\n"},
        {u" soft + GDI ", true, u"soft + GDI", u"soft+gdi", u""},
        {u"soft+x11,d2d+gdi", false, u"soft+x11,d2d+gdi", u"",
         u"Nenhum backend de canvas da escolha \"soft+x11,d2d+gdi\" esta' disponivel (tentados: soft+x11, "
         u"d2d+gdi). Backends:\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.env ? Narrow(*row.env) : "(unset)");
        ResetCanvasBackendState();
        RegisterStandIns();
        Log.clear();
        D2dUsable = row.d2d;
        SetCanvasChoice(u"d2d,gdi");
        TScopedEnvVar env(u"ZYL_CANVAS", row.env);
        EXPECT_EQ(GetCanvasChoice(), row.choice);
        if (row.messageHead.empty()) {
            EXPECT_EQ(ActivateCanvasBackend(), row.item);
            EXPECT_EQ(ActiveCanvasBackendName(), row.item);
            EXPECT_NE(CurrentPlatformServices(), nullptr);
        } else {
            try {
                ActivateCanvasBackend();
                ADD_FAILURE() << "activated";
            } catch (const System::Exception& e) {
                EXPECT_EQ(Narrow(e.Message), Narrow(row.messageHead + DescribeCanvasBackends()));
            }
            EXPECT_EQ(CurrentPlatformServices(), nullptr);
            EXPECT_EQ(ActiveCanvasBackendName(), u"");
            // Neither entry of a refused item has its factory run.
            for (const std::string& entry : Log) EXPECT_EQ(entry.rfind("factory", 0), std::string::npos) << entry;
        }
    }
}

TEST_F(CanvasBackend, ThePresenterFactoryRunsAfterTheBackendsOnly) {
    TScopedEnvVar env(u"ZYL_CANVAS", u"soft+gdi");
    ASSERT_EQ(ActivateCanvasBackend(), u"soft+gdi");
    std::vector<std::string> factories;
    for (const std::string& entry : Log)
        if (entry.rfind("factory", 0) == 0) factories.push_back(entry);
    EXPECT_EQ(factories, (std::vector<std::string>{"factory soft", "factory gdi-present"}));
}

TEST_F(CanvasBackend, ABackendWhoseFactoryInstallsNothingIsSkipped) {
    RegisterCanvasBackend(u"vazio", u"", CanvasKindBackend, 1, 0x80, 0, nullptr, nullptr, [] {});
    RegisterCanvasBackend(u"semfabrica", u"", CanvasKindBackend, 1, 0x80, 0, nullptr, nullptr, nullptr);
    TScopedEnvVar env(u"ZYL_CANVAS", u"vazio+gdi,semfabrica,gdi");
    EXPECT_EQ(ActivateCanvasBackend(), u"gdi");
    EXPECT_EQ(std::count(Log.begin(), Log.end(), "factory gdi-present"), 0);
}

TEST_F(CanvasBackend, ActivationHappensOnceWhateverTheEnvironmentSaysLater) {
    {
        TScopedEnvVar env(u"ZYL_CANVAS", u"soft");
        ASSERT_EQ(ActivateCanvasBackend(), u"soft");
    }
    TScopedEnvVar env(u"ZYL_CANVAS", u"gdi");
    EXPECT_EQ(ActivateCanvasBackend(), u"soft");
    EXPECT_EQ(std::count(Log.begin(), Log.end(), "factory gdi"), 0);
}

TEST_F(CanvasBackend, ARaisingFactoryStopsTheWalk) {
    RegisterCanvasBackend(u"boom", u"", CanvasKindBackend, 1, 0, 0, nullptr, nullptr,
                          [] { throw System::Exception(u"falhou"); });
    TScopedEnvVar env(u"ZYL_CANVAS", u"boom,gdi");
    EXPECT_THROW(ActivateCanvasBackend(), System::Exception);
    EXPECT_EQ(std::count(Log.begin(), Log.end(), "factory gdi"), 0);
    EXPECT_EQ(ActiveCanvasBackendName(), u"");
}

TEST_F(CanvasBackend, EmptyAutomaticChainAndUnparsableEnvironmentRaise) {
    ResetCanvasBackendState();
    try {
        ActivateCanvasBackend();
        ADD_FAILURE() << "activated";
    } catch (const System::Exception& e) {
        EXPECT_EQ(e.Message, u"Nenhum backend de canvas disponivel nesta plataforma. Registrados:\n");
    }
    RegisterStandIns();
    TScopedEnvVar env(u"ZYL_CANVAS", u"gdi,,");
    try {
        ActivateCanvasBackend();
        ADD_FAILURE() << "activated";
    } catch (const System::Exception& e) {
        EXPECT_EQ(e.Message, u"Escolha de canvas invalida \"gdi,,\": item vazio na cadeia.");
    }
}

TEST_F(CanvasBackend, ServicesInstalledElsewhereReadAsExterno) {
    SetCurrentPlatformServices(MakeRef<TMemoryServices>());
    TScopedEnvVar env(u"ZYL_CANVAS", u"nope");
    EXPECT_EQ(ActivateCanvasBackend(), u"externo");
    EXPECT_EQ(ActiveCanvasBackendName(), u"externo");
    EXPECT_TRUE(Log.empty());
}

TEST(ReadEnvVar, PassesValuesOfUpTo1022UnitsOnly) {
    const std::u16string name = u"ZYL_TEST_READENVVAR";
    {
        TScopedEnvVar env(name, std::u16string(1022, u'x'));
        EXPECT_EQ(ReadEnvVar(name), std::u16string(1022, u'x'));
    }
    {
        TScopedEnvVar env(name, std::u16string(1023, u'x'));
        EXPECT_EQ(ReadEnvVar(name), u"");
    }
    {
        TScopedEnvVar env(name, u"ação ");
        EXPECT_EQ(ReadEnvVar(name), u"ação ");
    }
    TScopedEnvVar env(name, std::nullopt);
    EXPECT_EQ(ReadEnvVar(name), u"");
}
