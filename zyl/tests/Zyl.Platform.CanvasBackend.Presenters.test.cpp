#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Memory.h"
#include "Zyl.Test.Text.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

void InstallServices() {
    if (!CurrentPlatformServices()) SetCurrentPlatformServices(MakeRef<TMemoryServices>());
}

// The real presenters, with backends that install memory services.
void RegisterPresentersAndBackends() {
    RegisterCanvasPresenters();
    RegisterCanvasBackend(u"soft", u"", CanvasKindBackend, 7, 0xBD, 100, nullptr, nullptr, InstallServices);
    RegisterCanvasBackend(u"gdi", u"", CanvasKindBackend, 1, 0x0E, 50, nullptr, nullptr, InstallServices);
}

class Presenters : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCanvasBackendState();
        RegisterPresentersAndBackends();
    }
    void TearDown() override { ResetCanvasBackendState(); }

    TScopedEnvVar canvas_{u"ZYL_CANVAS", std::nullopt};
    TScopedEnvVar noGdi_{u"ZYL_PRESENT_NOGDI", std::nullopt};
};

} // namespace

TEST_F(Presenters, RegistersTheThreeRowsInOrder) {
    struct Row {
        std::u16string name;
        int32_t platforms, caps, priority;
        std::u16string description;
    } rows[] = {
        {u"gdi-present", 1, 0x300, 10,
         u"Apresentador explicito do GDI (SetDIBitsToDevice, o caminho de sempre da casca do Windows); na escolha "
         u"escreve-se soft+gdi"},
        {u"x11", 2, 0x200, 10, u"Apresentacao pela casca X11 (PutImage / MIT-SHM); a casca do Linux escolhe sozinha"},
        {u"wayland", 2, 0x200, 11,
         u"Apresentacao pela casca Wayland (buffer compartilhado); a casca do Linux escolhe sozinha"},
    };
    for (int32_t slot = 0; slot < 3; ++slot) {
        const Row& row = rows[slot];
        const TRef<TCanvasBackendInfo> entry = CanvasBackendAt(slot);
        EXPECT_EQ(entry->Name, row.name);
        EXPECT_EQ(entry->Kind, CanvasKindPresenter);
        EXPECT_EQ(entry->Platforms, row.platforms);
        EXPECT_EQ(entry->Caps, row.caps);
        EXPECT_EQ(entry->Priority, row.priority);
        EXPECT_EQ(entry->Description, row.description);
        EXPECT_EQ(entry->AutoChoiceTest, nullptr);
    }
    EXPECT_EQ(CanvasBackendAt(0)->AvailabilityTest, &GdiPresenterAvailable);
    EXPECT_EQ(CanvasBackendAt(1)->AvailabilityTest, &HasX11Display);
    EXPECT_EQ(CanvasBackendAt(2)->AvailabilityTest, &HasWaylandDisplay);
}

TEST_F(Presenters, ActivatedItemAndNoGdiSwitchDecideNameGdiUseAndCopy) {
    struct Row {
        std::u16string item;
        std::optional<std::u16string> noGdi;
        std::u16string name;  // empty: no presenter
        bool usesGdi, copies;
    } rows[] = {
        {u"gdi", std::nullopt, u"", false, true},       {u"gdi", u"1", u"", false, true},
        {u"soft+gdi", std::nullopt, u"gdi-present", true, true},
        {u"soft+gdi", u"1", u"gdi-present", true, false},
        {u"soft+gdi", u" 1 ", u"gdi-present", true, false},
        {u"soft+gdi", u"01", u"gdi-present", true, true},
        {u"soft+gdi", u"true", u"gdi-present", true, true},
        {u"soft+gdi-present", u"1", u"gdi-present", true, false},
    };
    auto surface = MakeRef<TMemorySurface>(4, 4, false);
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.item) + " / " + (row.noGdi ? Narrow(*row.noGdi) : "(unset)"));
        ResetCanvasBackendState();
        RegisterPresentersAndBackends();
        TScopedEnvVar canvas(u"ZYL_CANVAS", row.item);
        TScopedEnvVar noGdi(u"ZYL_PRESENT_NOGDI", row.noGdi);
        ASSERT_EQ(ActivateCanvasBackend(), row.item);
        const TRef<TSurfacePresenter> presenter = GetCurrentPresenter();
        EXPECT_EQ(presenter ? presenter->Name() : u"", row.name);
        EXPECT_EQ(presenter && presenter->UsesGdi(), row.usesGdi);
        TGdiBlitPlan plan;
        EXPECT_EQ(PlanGdiBlit(surface.Get(), 0, 0, 4, 4, plan), row.copies);
    }
}

TEST_F(Presenters, EachKindHasOneInstanceAndTheLastFactoryRunIsCurrent) {
    CreateGdiPresenter();
    const TRef<TSurfacePresenter> first = GetCurrentPresenter();
    CreateX11Presenter();
    EXPECT_EQ(GetCurrentPresenter()->Name(), u"x11");
    EXPECT_FALSE(GetCurrentPresenter()->UsesGdi());
    CreateWaylandPresenter();
    EXPECT_EQ(GetCurrentPresenter()->Name(), u"wayland");
    CreateGdiPresenter();
    EXPECT_EQ(GetCurrentPresenter(), first);
    EXPECT_EQ(first->LastErrorText(), u"");
    EXPECT_TRUE(first->Reserved20());
    EXPECT_EQ(first->Reserved17(), nullptr);
}

TEST_F(Presenters, LinuxPresentersStayUnavailableHereWhateverTheDisplay) {
    TScopedEnvVar display(u"DISPLAY", u":0");
    TScopedEnvVar wayland(u"WAYLAND_DISPLAY", u"wayland-0");
    EXPECT_TRUE(HasX11Display());
    EXPECT_TRUE(HasWaylandDisplay());
    const std::u16string listing = DescribeCanvasBackends();
    EXPECT_NE(listing.find(u"  x11 (apresentador, indisponivel, linux)"), std::u16string::npos);
    EXPECT_NE(listing.find(u"  wayland (apresentador, indisponivel, linux)"), std::u16string::npos);
    TScopedEnvVar canvas(u"ZYL_CANVAS", u"soft+x11,soft+wayland,gdi");
    EXPECT_EQ(ActivateCanvasBackend(), u"gdi");
}

TEST_F(Presenters, DisplayTestsAreNotTrimmed) {
    TScopedEnvVar display(u"DISPLAY", u" ");
    TScopedEnvVar wayland(u"WAYLAND_DISPLAY", std::nullopt);
    EXPECT_TRUE(HasX11Display());
    EXPECT_FALSE(HasWaylandDisplay());
}

TEST(GdiBlitPlan, CutsTheRectangleToTheSurfaceWithoutOverflow) {
    ResetCanvasBackendState();
    constexpr int32_t kMin = INT32_MIN, kMax = INT32_MAX;
    struct Row {
        int32_t stride, left, top, right, bottom;
        bool copies;
        int32_t destLeft, destTop, width, height, headerWidth;
    } rows[] = {
        {120, -10, -10, 50, 40, true, 0, 0, 30, 20, 30},
        {120, 5, 3, 12, 9, true, 5, 3, 7, 6, 30},
        {120, 7, 3, 7, 9, false, 0, 0, 0, 0, 0},
        {120, 7, 9, 12, 9, false, 0, 0, 0, 0, 0},
        {120, kMin, kMin, kMax, kMax, true, 0, 0, 30, 20, 30},
        {120, kMax, 0, kMin, 20, false, 0, 0, 0, 0, 0},
        {120, 0, kMin, 30, kMin + 1, false, 0, 0, 0, 0, 0},
        {120, kMin, 0, 0, 20, false, 0, 0, 0, 0, 0},
        {120, 30, 0, kMax, 20, false, 0, 0, 0, 0, 0},
        {120, 29, 19, kMax, kMax, true, 29, 19, 1, 1, 30},
        {130, 29, 19, kMax, kMax, true, 29, 19, 1, 1, 32},
        {128, -1, 2, 3, 4, true, 0, 2, 3, 2, 32},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.left) + "," + std::to_string(row.top) + "," + std::to_string(row.right) +
                     "," + std::to_string(row.bottom) + " stride " + std::to_string(row.stride));
        auto surface = MakeRef<TMemorySurface>(30, 20, false, row.stride);
        TGdiBlitPlan plan;
        ASSERT_EQ(PlanGdiBlit(surface.Get(), row.left, row.top, row.right, row.bottom, plan), row.copies);
        if (!row.copies) continue;
        EXPECT_EQ(plan.DestLeft, row.destLeft);
        EXPECT_EQ(plan.DestTop, row.destTop);
        EXPECT_EQ(plan.SourceX, row.destLeft);
        EXPECT_EQ(plan.Width, row.width);
        EXPECT_EQ(plan.Height, row.height);
        EXPECT_EQ(plan.HeaderWidth, row.headerWidth);
        EXPECT_EQ(plan.Pixels, surface->Bits() + ptrdiff_t(row.destTop) * row.stride);
    }
}

TEST(GdiBlitPlan, NoSurfaceOrNoPixelsCopyNothing) {
    TGdiBlitPlan plan;
    EXPECT_FALSE(PlanGdiBlit(nullptr, 0, 0, 1, 1, plan));
    auto surface = MakeRef<TMemorySurface>(2, 2, false);
    surface->NilBits = true;
    EXPECT_FALSE(PlanGdiBlit(surface.Get(), 0, 0, 2, 2, plan));
}
