#include <gtest/gtest.h>

#include "Zyl.Graphics.Fixture.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;
using Zyl::Testing::TCallLog;
using Zyl::Testing::TCanvasFixture;
using Zyl::Testing::TRecordingCanvas;

namespace {

const std::string kPenBrush[] = {"SetPen($0,1,0)", "SetRop2(4)", "SetBrush($FFFFFF,0)", "SetBackground($FFFFFF,0)"};

// A theme with every override at -1 and the light palette, as the process starts.
void RestoreLightPalette() { ApplyThemeSysColors(TZylTheme{}); }

} // namespace

TEST(Canvas, StartsWithEverythingDirtyAndTheDefaults) {
    TCanvasFixture f;
    EXPECT_TRUE(f.canvas->FontDirty() && f.canvas->PenDirty() && f.canvas->BrushDirty());
    EXPECT_EQ(f.canvas->CopyMode(), 0xCC0020);
    EXPECT_EQ(f.canvas->PenPos(), (TPoint{0, 0}));
    EXPECT_FALSE(f.canvas->OwnsCanvas());
    EXPECT_EQ(f.canvas->Brush()->Color(), 0xFFFFFF);
    EXPECT_EQ(f.canvas->Pen()->Mode(), pmCopy);
    EXPECT_EQ(f.canvas->GetPlatformCanvas().Get(), f.platform.Get());
}

TEST(Canvas, PushesPenAndBrushOnlyWhenTheyChanged) {
    TCanvasFixture f;
    f.canvas->Rectangle(1, 2, 3, 4);
    EXPECT_EQ(f.Take(), (TCallLog{kPenBrush[0], kPenBrush[1], kPenBrush[2], kPenBrush[3], "Rectangle(1,2,3,4)"}));
    f.canvas->Rectangle(1, 2, 3, 4);
    EXPECT_EQ(f.Take(), TCallLog{"Rectangle(1,2,3,4)"});
    EXPECT_EQ(f.changing, 2);
    EXPECT_EQ(f.changed, 2);

    f.canvas->Pen()->SetStyle(psInsideFrame);
    f.canvas->Pen()->SetMode(pmXor);
    f.canvas->Ellipse(0, 0, 5, 5);
    EXPECT_EQ(f.Take(), (TCallLog{"SetPen($0,1,0)", "SetRop2(14)", "Ellipse(0,0,5,5)"}));

    for (TBrushStyle style : {bsClear, bsCross}) {
        f.canvas->Brush()->SetStyle(style);
        f.canvas->FillRect({0, 0, 2, 2});
        EXPECT_EQ(f.Take(), (TCallLog{"SetBrush($FFFFFF," + std::to_string(style) + ")", "SetBackground($FFFFFF,1)",
                                      "FillRectBrush(0,0,2,2)"}));
    }
}

TEST(Canvas, ABrushColourThenTextPushesTheBrushThenTheFont) {
    TCanvasFixture f;
    f.canvas->TextOut(0, 0, u"a");
    f.Take();
    f.canvas->Brush()->SetColor(TColor(0xFF00000F));  // button face, resolved
    f.canvas->TextOut(1, 2, u"ab");
    EXPECT_EQ(f.Take(), (TCallLog{"SetBrush($F0F0F0,0)", "SetBackground($F0F0F0,0)", "SetFont(Segoe UI,-12,0,$0)",
                                  "SetTextAngle(0)", "SetBackground($F0F0F0,0)", "TextOut(1,2,ab)",
                                  "TextExtent(ab)"}));
}

TEST(Canvas, SendsOnlyTheLowFourStyleBitsAndTheOrientation) {
    TCanvasFixture f;
    f.canvas->Font()->SetStyle(0xFF);
    f.canvas->Font()->SetOrientation(900);
    f.canvas->Font()->SetColor(TColor(0xFF0000FF));  // index 255: black
    f.canvas->TextRect({0, 0, 9, 9}, 1, 1, u"x");
    EXPECT_EQ(f.Take(), (TCallLog{kPenBrush[0], kPenBrush[1], kPenBrush[2], kPenBrush[3],
                                  "SetFont(Segoe UI,-12,15,$0)", "SetTextAngle(900)", "SetBackground($FFFFFF,0)",
                                  "TextRect(0,0,9,9,1,1,x,1)"}));
    f.canvas->Brush()->SetStyle(bsClear);
    f.canvas->TextRect({0, 0, 9, 9}, 1, 1, u"x");
    EXPECT_EQ(f.Take().back(), "TextRect(0,0,9,9,1,1,x,0)");
}

TEST(Canvas, RestorePushesEverythingAgain) {
    TCanvasFixture f;
    f.canvas->Rectangle(0, 0, 1, 1);
    f.Take();
    f.canvas->Save();
    f.canvas->Restore();
    f.canvas->Rectangle(0, 0, 1, 1);
    EXPECT_EQ(f.Take(), (TCallLog{"Save()", "Restore()", kPenBrush[0], kPenBrush[1], kPenBrush[2], kPenBrush[3],
                                  "Rectangle(0,0,1,1)"}));
}

TEST(Canvas, MeasuringAndNilGraphicsAreSilent) {
    TCanvasFixture f;
    const TTextSize size = f.canvas->TextExtent(u"abc");
    EXPECT_EQ(size.Width, 21);
    EXPECT_EQ(size.Height, 13);
    f.canvas->StretchDraw({0, 0, 5, 5}, nullptr);
    f.canvas->Draw(nullptr);
    f.canvas->MoveTo(3, 4);
    EXPECT_EQ(f.changing + f.changed, 0);
    EXPECT_EQ(f.Take().back(), "MoveTo(3,4)");
    EXPECT_EQ(f.canvas->PenPos(), (TPoint{3, 4}));
}

TEST(Canvas, CopyModePushesNothing) {
    TCanvasFixture f;
    f.canvas->Rectangle(0, 0, 1, 1);
    f.Take();
    f.canvas->SetCopyMode(0x660046);
    f.canvas->Rectangle(0, 0, 1, 1);
    EXPECT_EQ(f.Take(), TCallLog{"Rectangle(0,0,1,1)"});
    EXPECT_EQ(f.canvas->CopyMode(), 0x660046);
}

TEST(Canvas, LinesPolylinesAndFrames) {
    TCanvasFixture f;
    f.canvas->LineTo(5, 6);
    EXPECT_EQ(f.canvas->PenPos(), (TPoint{5, 6}));
    const TPoint points[] = {{1, 2}, {3, 4}};
    f.canvas->Polyline(points);
    f.canvas->Polyline({});
    f.canvas->FrameRect({1, 1, 4, 4});
    f.canvas->RoundRect(0, 0, 9, 9, 2, 3);
    EXPECT_EQ(f.canvas->PenPos(), (TPoint{5, 6}));
    EXPECT_EQ(f.Take(), (TCallLog{kPenBrush[0], kPenBrush[1], kPenBrush[2], kPenBrush[3], "LineTo(5,6)",
                                  "Polyline((1,2),(3,4);1)", "Polyline(;-1)", "FrameRect(1,1,4,4)",
                                  "RoundRect(0,0,9,9,2,3)"}));
    EXPECT_EQ(f.changing, 5);
    EXPECT_EQ(f.changed, 5);
}

TEST(Canvas, AFailedPushLeavesItsFlagClearAndCallsNoOnChange) {
    TCanvasFixture f;
    f.platform->RaiseOn = {"SetPen"};
    EXPECT_THROW(f.canvas->Rectangle(0, 0, 1, 1), System::Exception);
    EXPECT_FALSE(f.canvas->PenDirty());
    EXPECT_TRUE(f.canvas->BrushDirty());
    EXPECT_EQ(f.changing, 1);
    EXPECT_EQ(f.changed, 0);
}

TEST(Canvas, SettingAWholeAttributeCopiesItIntoTheCanvasObjects) {
    TCanvasFixture f;
    f.canvas->Rectangle(0, 0, 1, 1);
    f.Take();
    TRef<TPen> pen = MakeRef<TPen>();
    pen->SetColor(0x0000FF);
    const System::TPropInfo* property = TCanvas::PublishedPropertyTable.Find(u"Pen");
    ASSERT_NE(property, nullptr);
    TPen* value = pen.Get();
    property->Write(*f.canvas, &value);
    EXPECT_NE(f.canvas->Pen(), pen.Get());
    EXPECT_EQ(f.canvas->Pen()->Color(), 0x0000FF);
    EXPECT_TRUE(f.canvas->PenDirty());

    std::vector<std::u16string_view> names;
    for (const System::TPropInfo& p : TCanvas::PublishedPropertyTable.Properties) names.push_back(p.Name);
    EXPECT_EQ(names, (std::vector<std::u16string_view>{u"Brush", u"CopyMode", u"Font", u"Pen"}));
}

TEST(Canvas, ItsObjectsOutliveItWithoutCallingBack) {
    TRef<TFont> font;
    {
        TCanvasFixture f;
        font = f.canvas->Font();
    }
    font->SetHeight(-40);  // would reach the destroyed canvas if still connected
    EXPECT_FALSE(font->OnChange);
}

TEST(ResolveColor, LooksSystemColoursUpInTheLightPalette) {
    RestoreLightPalette();
    struct TCase { uint32_t color; TColor resolved; };
    for (const TCase& c : {TCase{0xFF000008, 0x000000}, {0x80000005, 0xFFFFFF}, {0xFF00001F, 0},
                           {0xFF00000D, 0xD77800}, {0xFFFFFF1E, 0xF0F0F0}, {0x20000000, 0x20000000},
                           {0x00123456, 0x00123456}})
        EXPECT_EQ(ResolveColor(TColor(c.color)), c.resolved) << std::hex << c.color;
}

TEST(ResolveColor, FillsTheTableWithTheLightPaletteOnFirstUse) {
    SysColorTable = {};
    EXPECT_EQ(ResolveColor(TColor(0xFF000000)), 0xC8C8C8);
    EXPECT_TRUE(SysColorTable.Filled);
    EXPECT_EQ(SysColorTable.Colors, LightSysColors);
}

TEST(ApplyThemeSysColors, AppliesThePaletteThenTheOverridesAsRgb) {
    TZylTheme dark;
    dark.Dark = true;
    const TColor* table = ApplyThemeSysColors(dark);
    EXPECT_EQ(table, SysColorTable.Colors.data());
    EXPECT_EQ(SysColorTable.Colors, DarkSysColors);
    EXPECT_EQ(ResolveColor(TColor(0xFF000005)), 0x1E1E1E);
    EXPECT_EQ(ResolveColor(TColor(0xFF00001A)), 0xE08A33);
    EXPECT_EQ(ResolveColor(TColor(0xFF00001D)), 0x5A4630);

    TZylTheme light;
    light.SysColors[5] = int32_t(0xFF000005);
    light.SysColors[30] = 0x010203;
    ApplyThemeSysColors(light);
    EXPECT_EQ(SysColorTable.Colors[5], 0x000005);
    EXPECT_EQ(SysColorTable.Colors[30], 0x010203);
    EXPECT_EQ(SysColorTable.Colors[4], 0xF0F0F0);
    RestoreLightPalette();
}
