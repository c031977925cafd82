#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "Zyl.Test.Recording.h"
#include "Zyl.Graphics.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;
using Zyl::Testing::TCallLog;
using Zyl::Testing::TRecordingServices;
using Zyl::Testing::TScopedPlatformServices;

namespace {

// Counts the announcements of an attribute object.
template <class T>
struct TCounted {
    TRef<T> object = MakeRef<T>();
    int changes = 0;
    TCounted() {
        object->OnChange = [this](System::TObject* sender) {
            EXPECT_EQ(sender, object.Get());
            ++changes;
        };
    }
};

std::vector<std::u16string_view> PropertyNames(const System::TPublishedPropertyTable& table) {
    std::vector<std::u16string_view> names;
    for (const System::TPropInfo& p : table.Properties) names.push_back(p.Name);
    return names;
}

} // namespace

TEST(FontSize, ConvertsToHeightAndBack) {
    struct TCase { int32_t size, height; };
    for (const TCase& c : {TCase{8, -11}, {9, -12}, {10, -13}, {11, -15}, {12, -16}, {0, 0}, {-9, 11}})
        EXPECT_EQ(FontSizeToHeight(c.size, 96), c.height) << c.size;
    for (const TCase& c : {TCase{9, -12}, {10, -13}, {12, -16}, {-8, 11}, {0, 0}})
        EXPECT_EQ(FontHeightToSize(c.height, 96), c.size) << c.height;
    EXPECT_EQ(FontHeightToSize(-15, 120), 9);
    EXPECT_EQ(FontHeightToSize(-12, 0), 0);
    // Extremes saturate rather than overflow.
    EXPECT_EQ(FontSizeToHeight(INT32_MAX, INT32_MAX), INT32_MIN);
    EXPECT_EQ(FontSizeToHeight(INT32_MIN, INT32_MAX), INT32_MAX);
    EXPECT_EQ(FontHeightToSize(INT32_MIN, 1), INT32_MAX);
    EXPECT_EQ(FontHeightToSize(INT32_MAX, 1), INT32_MIN);
}

TEST(Font, WithoutServicesIsSegoeUiAtTwelvePixels) {
    TRef<TFont> font = MakeRef<TFont>();
    EXPECT_EQ(font->Name(), u"Segoe UI");
    EXPECT_EQ(font->Height(), -12);
    EXPECT_EQ(font->PixelsPerInch(), 96);
    EXPECT_EQ(font->Size(), 9);
    EXPECT_EQ(font->Color(), TColor(0xFF000008));
    EXPECT_EQ(font->Charset(), 1);
    EXPECT_EQ(font->Style(), 0);
    EXPECT_EQ(font->Pitch(), fpDefault);
    EXPECT_EQ(font->Quality(), fqDefault);
    EXPECT_EQ(font->Orientation(), 0);
}

TEST(Font, TakesTheServicesDefaultsInOrder) {
    TRef<TRecordingServices> services = MakeRef<TRecordingServices>();
    services->Dpi = 120;
    services->FontName = u"Tahoma";
    TScopedPlatformServices scope(services);
    TRef<TFont> font = MakeRef<TFont>();
    EXPECT_EQ(services->FontCalls, (TCallLog{"ScreenDpi", "DefaultFontName", "DefaultFontSize"}));
    EXPECT_EQ(font->Name(), u"Tahoma");
    EXPECT_EQ(font->PixelsPerInch(), 120);
    EXPECT_EQ(font->Height(), -15);
    EXPECT_EQ(font->Size(), 9);
}

TEST(Font, PixelsPerInchKeepsThePointSize) {
    struct TCase { int32_t ppi, height, changes; };
    for (const TCase& c : {TCase{144, -18, 1}, {96, -12, 0}, {0, -12, 0}, {-96, -12, 0}, {97, -12, 0}}) {
        TCounted<TFont> font;
        font.object->SetPixelsPerInch(c.ppi);
        EXPECT_EQ(font.object->Height(), c.height) << c.ppi;
        EXPECT_EQ(font.changes, c.changes) << c.ppi;
        EXPECT_EQ(font.object->PixelsPerInch(), c.ppi > 0 ? c.ppi : 96);
    }
}

TEST(GraphicsObjects, WritersAnnounceOnlyRealChanges) {
    struct TCase { const char* what; std::function<int()> changes; int expected; };
    auto font = [](auto write) {
        TCounted<TFont> f;
        write(*f.object);
        return f.changes;
    };
    auto pen = [](auto write) {
        TCounted<TPen> p;
        write(*p.object);
        return p.changes;
    };
    auto brush = [](auto write) {
        TCounted<TBrush> b;
        write(*b.object);
        return b.changes;
    };
    const TCase cases[] = {
        {"font same charset", [&] { return font([](TFont& f) { f.SetCharset(1); }); }, 0},
        {"font charset", [&] { return font([](TFont& f) { f.SetCharset(0); }); }, 1},
        {"font same colour", [&] { return font([](TFont& f) { f.SetColor(TColor(0xFF000008)); }); }, 0},
        {"font colour", [&] { return font([](TFont& f) { f.SetColor(0xFF); }); }, 1},
        {"font same height", [&] { return font([](TFont& f) { f.SetHeight(-12); }); }, 0},
        {"font height", [&] { return font([](TFont& f) { f.SetHeight(-13); }); }, 1},
        {"font same name", [&] { return font([](TFont& f) { f.SetName(u"Segoe UI"); }); }, 0},
        {"font name in other case", [&] { return font([](TFont& f) { f.SetName(u"segoe UI"); }); }, 1},
        {"font same orientation", [&] { return font([](TFont& f) { f.SetOrientation(0); }); }, 0},
        {"font orientation", [&] { return font([](TFont& f) { f.SetOrientation(900); }); }, 1},
        {"font same pitch", [&] { return font([](TFont& f) { f.SetPitch(fpDefault); }); }, 0},
        {"font pitch", [&] { return font([](TFont& f) { f.SetPitch(fpFixed); }); }, 1},
        {"font same size", [&] { return font([](TFont& f) { f.SetSize(9); }); }, 0},
        {"font size", [&] { return font([](TFont& f) { f.SetSize(12); }); }, 1},
        {"font same style", [&] { return font([](TFont& f) { f.SetStyle(0); }); }, 0},
        {"font style", [&] { return font([](TFont& f) { f.SetStyle(fsBold); }); }, 1},
        {"font same quality", [&] { return font([](TFont& f) { f.SetQuality(fqDefault); }); }, 0},
        {"font quality", [&] { return font([](TFont& f) { f.SetQuality(fqClearType); }); }, 1},
        {"pen same colour", [&] { return pen([](TPen& p) { p.SetColor(0); }); }, 0},
        {"pen colour", [&] { return pen([](TPen& p) { p.SetColor(1); }); }, 1},
        {"pen same mode", [&] { return pen([](TPen& p) { p.SetMode(pmCopy); }); }, 0},
        {"pen mode", [&] { return pen([](TPen& p) { p.SetMode(pmXor); }); }, 1},
        {"pen same style", [&] { return pen([](TPen& p) { p.SetStyle(psSolid); }); }, 0},
        {"pen style", [&] { return pen([](TPen& p) { p.SetStyle(psDot); }); }, 1},
        {"pen same width", [&] { return pen([](TPen& p) { p.SetWidth(1); }); }, 0},
        {"pen negative width", [&] { return pen([](TPen& p) { p.SetWidth(-1); }); }, 0},
        {"pen width 0", [&] { return pen([](TPen& p) { p.SetWidth(0); }); }, 1},
        {"brush same colour", [&] { return brush([](TBrush& b) { b.SetColor(0xFFFFFF); }); }, 0},
        {"brush colour", [&] { return brush([](TBrush& b) { b.SetColor(0); }); }, 1},
        {"brush same style", [&] { return brush([](TBrush& b) { b.SetStyle(bsSolid); }); }, 0},
        {"brush style", [&] { return brush([](TBrush& b) { b.SetStyle(bsCross); }); }, 1},
    };
    for (const TCase& c : cases) EXPECT_EQ(c.changes(), c.expected) << c.what;
}

TEST(Pen, KeepsWidthZeroAndIgnoresNegatives) {
    TRef<TPen> pen = MakeRef<TPen>();
    pen->SetWidth(-1);
    EXPECT_EQ(pen->Width(), 1);
    pen->SetWidth(0);
    EXPECT_EQ(pen->Width(), 0);
}

TEST(Brush, SameColourOnANonSolidBrushStillAnnouncesAndClearBecomesSolid) {
    for (TBrushStyle style : {bsClear, bsCross}) {
        TCounted<TBrush> brush;
        brush.object->SetStyle(style);
        brush.changes = 0;
        brush.object->SetColor(0xFFFFFF);
        EXPECT_EQ(brush.changes, 1);
        EXPECT_EQ(brush.object->Style(), style == bsClear ? bsSolid : bsCross);
    }
}

TEST(GraphicsObjects, AssignCopiesEverythingAndAlwaysAnnounces) {
    TCounted<TFont> font;
    TRef<TFont> source = MakeRef<TFont>();
    font.object->Assign(source.Get());
    EXPECT_EQ(font.changes, 1);

    source->SetName(u"Arial");
    source->SetHeight(-20);
    source->SetStyle(fsItalic | fsStrikeOut);
    source->SetColor(0x123456);
    source->SetCharset(0);
    source->SetPitch(fpVariable);
    source->SetQuality(fqDraft);
    source->SetOrientation(450);
    source->SetPixelsPerInch(192);
    font.object->Assign(source.Get());
    EXPECT_EQ(font.changes, 2);
    for (const System::TPropInfo& p : TFont::PublishedPropertyTable.Properties) {
        const std::string name(p.Name.begin(), p.Name.end());
        if (p.Type->Kind == System::TTypeKind::String) {
            std::u16string a, b;
            p.Read(*font.object, &a), p.Read(*source, &b);
            EXPECT_EQ(a, b) << name;
        } else {
            int32_t a = 0, b = 0;  // every other font property fits in four bytes
            p.Read(*font.object, &a), p.Read(*source, &b);
            EXPECT_EQ(a, b) << name;
        }
    }

    TCounted<TPen> pen;
    TRef<TPen> penSource = MakeRef<TPen>();
    penSource->SetColor(7), penSource->SetWidth(3), penSource->SetStyle(psDash), penSource->SetMode(pmXor);
    pen.object->Assign(penSource.Get());
    EXPECT_EQ(std::tuple(pen.object->Color(), pen.object->Width(), pen.object->Style(), pen.object->Mode()),
              std::tuple(7, 3, psDash, pmXor));
    EXPECT_EQ(pen.changes, 1);

    TCounted<TBrush> brush;
    TRef<TBrush> brushSource = MakeRef<TBrush>();
    brushSource->SetColor(9), brushSource->SetStyle(bsClear);
    brush.object->Assign(brushSource.Get());
    EXPECT_EQ(std::tuple(brush.object->Color(), brush.object->Style()), std::tuple(9, bsClear));
    EXPECT_EQ(brush.changes, 1);
    EXPECT_FALSE(brushSource->OnChange);
}

TEST(GraphicsObjects, AssignFromAnotherClassRaisesAndChangesNothing) {
    TCounted<TPen> pen;
    pen.object->SetColor(5);
    pen.changes = 0;
    TRef<TFont> font = MakeRef<TFont>();
    try {
        pen.object->Assign(font.Get());
        ADD_FAILURE() << "no exception";
    } catch (const System::EListError& e) {
        EXPECT_EQ(e.Message, u"AssignTo não implementado nesta classe");
    }
    try {
        pen.object->Assign(nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const System::EListError& e) {
        EXPECT_EQ(e.Message, u"Assign de origem nil");
    }
    EXPECT_EQ(pen.object->Color(), 5);
    EXPECT_EQ(pen.changes, 0);
}

TEST(GraphicsObjects, PublishTheirPropertiesInOrderWithNamedValues) {
    using Names = std::vector<std::u16string_view>;
    EXPECT_EQ(PropertyNames(TFont::PublishedPropertyTable),
              (Names{u"Charset", u"Color", u"Height", u"Name", u"Orientation", u"Pitch", u"PixelsPerInch", u"Size",
                     u"Style", u"Quality"}));
    EXPECT_EQ(PropertyNames(TPen::PublishedPropertyTable), (Names{u"Color", u"Mode", u"Style", u"Width"}));
    EXPECT_EQ(PropertyNames(TBrush::PublishedPropertyTable), (Names{u"Color", u"Style"}));

    const System::TPropInfo* penStyle = TPen::PublishedPropertyTable.Find(u"Style");
    ASSERT_NE(penStyle, nullptr);
    EXPECT_EQ(penStyle->Type->Kind, System::TTypeKind::Enumeration);
    ASSERT_EQ(penStyle->Type->ValueNames.size(), 9u);
    EXPECT_EQ(penStyle->Type->ValueNames[psInsideFrame], u"psInsideFrame");
    EXPECT_EQ(TBrush::PublishedPropertyTable.Find(u"Style")->Type->ValueNames[bsDiagCross], u"bsDiagCross");
    EXPECT_EQ(TPen::PublishedPropertyTable.Find(u"Mode")->Type->ValueNames[pmNotXor], u"pmNotXor");
    EXPECT_EQ(TFont::PublishedPropertyTable.Find(u"Style")->Type->ValueNames[3], u"fsStrikeOut");
    EXPECT_EQ(TFont::PublishedPropertyTable.Find(u"Quality")->Type->ValueNames[fqClearTypeNatural],
              u"fqClearTypeNatural");

    // Writers reached by name behave as the setters do.
    TCounted<TFont> font;
    const int32_t size = 12;
    TFont::PublishedPropertyTable.Find(u"Size")->Write(*font.object, &size);
    EXPECT_EQ(font.object->Height(), -16);
    EXPECT_EQ(font.changes, 1);
}
