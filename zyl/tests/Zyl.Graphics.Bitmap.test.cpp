// Bitmaps against the platform services. The fixture's tests run on the
// recording memory services and check their call log besides the pixels;
// the pixel suite at the end runs the same expectations on every backend
// that can make surfaces here: the memory fake and the soft services in both
// builds, the GDI services (DIB sections, no window) under Windows.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>

#include "Zyl.Graphics.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Test.Image.h"
#include "Zyl.Test.Png.h"
#include "Zyl.Test.Recording.h"
#ifdef _WIN32
#include "Zyl.Platform.Win.h"
#endif

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;

// A stream over a growable byte array.
class TBytesStream : public System::TStream {
public:
    System::TBytes Data;
    int64_t Position = 0;

    explicit TBytesStream(System::TBytes data = {}) : Data(std::move(data)) {}
    int64_t Read(void* buffer, int64_t count) override {
        const int64_t n = std::clamp<int64_t>(int64_t(Data.size()) - Position, 0, count);
        if (n > 0) std::memcpy(buffer, Data.data() + Position, size_t(n));
        Position += n;
        return n;
    }
    int64_t Write(const void* buffer, int64_t count) override {
        if (Data.size() < size_t(Position + count)) Data.resize(size_t(Position + count));
        std::memcpy(Data.data() + Position, buffer, size_t(count));
        Position += count;
        return count;
    }
    int64_t Seek(int64_t offset, int32_t origin) override {
        Position = (origin == System::soBeginning ? 0 : origin == System::soCurrent ? Position : int64_t(Data.size())) +
                   offset;
        return Position;
    }
};

struct TBitmapFixture : ::testing::Test {
    TRef<TRecordingServices> services = MakeRef<TRecordingServices>();
    TScopedPlatformServices scope{services};
    TRef<TBitmap> bitmap = MakeRef<TBitmap>();
    int changes = 0;

    TBitmapFixture() {
        bitmap->OnChange = [this](System::TObject* sender) {
            EXPECT_EQ(sender, bitmap.Get());
            ++changes;
        };
    }

    TCallLog& CanvasLog() { return *services->CanvasLog; }

    static TMemorySurface& Surface(TBitmap& b) { return dynamic_cast<TMemorySurface&>(*b.GetSurface()); }

    // The pixels row by row.
    static std::vector<uint32_t> Pixels(TBitmap& b) {
        std::vector<uint32_t> pixels;
        TMemorySurface& s = Surface(b);
        for (int32_t y = 0; y < s.Height(); ++y)
            for (int32_t x = 0; x < s.Width(); ++x) pixels.push_back(s.Pixel(x, y));
        return pixels;
    }

    // A bitmap of the given pixels, rows from the top.
    TRef<TBitmap> MakeBitmap(int32_t width, int32_t height, const std::vector<uint32_t>& pixels, bool alpha = false) {
        TRef<TBitmap> b = MakeRef<TBitmap>();
        b->AlphaMode = alpha ? 2 : 0;
        b->SetSize(width, height);
        Surface(*b).FillWith([&](int32_t x, int32_t y) { return pixels[size_t(y) * width + x]; });
        return b;
    }
};

// A stream that claims more than 2 GiB and fails the test when read.
class THugeStream : public System::TStream {
public:
    int64_t GetSize() override { return int64_t(INT32_MAX) + 1; }
    int64_t Seek(int64_t, int32_t) override { return 0; }
    int64_t Read(void*, int64_t) override {
        ADD_FAILURE() << "read";
        return 0;
    }
};

template <class E>
void ExpectRaises(const std::function<void()>& action, const std::u16string& message) {
    try {
        action();
        ADD_FAILURE() << "no exception";
    } catch (const E& e) {
        EXPECT_EQ(e.Message, message);
    }
}

} // namespace

TEST_F(TBitmapFixture, ANewBitmapIsEmptyAndDrawsNothing) {
    EXPECT_TRUE(bitmap->Empty());
    EXPECT_EQ(bitmap->Width(), 0);
    EXPECT_EQ(bitmap->Height(), 0);
    EXPECT_EQ(bitmap->AlphaMode, 0);
    EXPECT_EQ(bitmap->TransparentColor, 0x20000000);
    EXPECT_EQ(bitmap->TransparentMode, 0);
    EXPECT_FALSE(bitmap->Transparent());
    TRef<TCanvas> canvas = MakeRef<TCanvas>(MakeRef<TRecordingCanvas>(nullptr, services->CanvasLog), false);
    canvas->Draw(bitmap.Get());
    EXPECT_EQ(CanvasLog(),
              (TCallLog{"SetPen($0,1,0)", "SetRop2(4)", "SetBrush($FFFFFF,0)", "SetBackground($FFFFFF,0)"}));
    EXPECT_TRUE(services->Calls.empty());
}

TEST_F(TBitmapFixture, ASizeWithoutAreaEmptiesTheBitmapAndKeepsWhatIsNotNegative) {
    bitmap->SetSize(100, 0);
    EXPECT_TRUE(bitmap->Empty());
    EXPECT_EQ(std::pair(bitmap->Width(), bitmap->Height()), std::pair(100, 0));
    bitmap->SetSize(-5, 10);
    EXPECT_EQ(std::pair(bitmap->Width(), bitmap->Height()), std::pair(0, 10));
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(bitmap->Modified);

    bitmap->SetSize(4, 3);
    bitmap->SetHeight(0);
    EXPECT_TRUE(bitmap->Empty());
    EXPECT_EQ(std::pair(bitmap->Width(), bitmap->Height()), std::pair(4, 0));
}

TEST_F(TBitmapFixture, ANewSurfaceIsWhiteAndAResizeKeepsTheTopLeft) {
    bitmap->SetSize(3, 2);
    EXPECT_EQ(services->Calls, TCallLog{"CreateSurface 3 2 0"});
    EXPECT_EQ(CanvasLog(), TCallLog{"FillRect(0,0,3,2,$FFFFFF)"});
    EXPECT_EQ(Pixels(*bitmap), std::vector<uint32_t>(6, kWhite));
    EXPECT_EQ(changes, 1);

    Surface(*bitmap).FillWith([](int32_t x, int32_t y) { return 0xFF000000u | uint32_t(y * 16 + x); });
    bitmap->SetSize(3, 2);
    EXPECT_EQ(changes, 1);
    bitmap->SetWidth(4);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(Pixels(*bitmap), (std::vector<uint32_t>{0xFF000000, 0xFF000001, 0xFF000002, kWhite, 0xFF000010,
                                                      0xFF000011, 0xFF000012, kWhite}));
    bitmap->SetSize(2, 3);
    EXPECT_EQ(Pixels(*bitmap),
              (std::vector<uint32_t>{0xFF000000, 0xFF000001, 0xFF000010, 0xFF000011, kWhite, kWhite}));
}

TEST_F(TBitmapFixture, GetCanvasOnAnEmptyBitmapMakesOneWhitePixel) {
    TRef<TCanvas> canvas = bitmap->GetCanvas();
    EXPECT_TRUE(canvas->OwnsCanvas());
    EXPECT_EQ(bitmap->Width(), 1);
    EXPECT_EQ(Pixels(*bitmap), std::vector<uint32_t>{kWhite});
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(services->Calls, (TCallLog{"CreateSurface 1 1 0", "FinishDrawing 1 1"}));
    EXPECT_EQ(bitmap->GetCanvas().Get(), canvas.Get());

    // A resize makes a new canvas; the old one keeps the old surface.
    bitmap->SetSize(2, 2);
    EXPECT_NE(bitmap->GetCanvas().Get(), canvas.Get());
}

TEST_F(TBitmapFixture, DrawStretchesWithTheCopyModeAndDrawAlphaWithItsOpacity) {
    bitmap->SetSize(3, 2);
    TRef<TCanvas> canvas = MakeRef<TCanvas>(MakeRef<TRecordingCanvas>(nullptr, services->CanvasLog), false);
    canvas->SyncFont();
    CanvasLog().clear();
    canvas->SetCopyMode(0x660046);
    canvas->Draw(bitmap.Get());
    canvas->StretchDraw({1, 2, 7, 8}, bitmap.Get());
    bitmap->SetTransparent(true);
    bitmap->DrawAlpha(*canvas, {0, 0, 6, 4}, 128);
    EXPECT_EQ(CanvasLog(), (TCallLog{"DrawSurfaceEx(0,0,3,2,0,0,3,2,$660046,255,0)",
                                     "DrawSurfaceEx(0,0,3,2,1,2,7,8,$660046,255,0)",
                                     "DrawSurfaceEx(0,0,3,2,0,0,6,4,$CC0020,128,0)"}));
}

TEST_F(TBitmapFixture, TransparentDrawLeavesOutTheBottomLeftColour) {
    // Red at the bottom left and once more at the top right.
    TRef<TBitmap> source =
        MakeBitmap(3, 3, {kGreen, kBlue, kRed, kBlue, kGreen, kBlue, kRed, kGreen, kBlue});
    source->SetTransparent(true);
    TRef<TBitmap> target = MakeBitmap(3, 3, std::vector<uint32_t>(9, kWhite));
    target->GetCanvas()->Draw(source.Get());
    EXPECT_EQ(Pixels(*target), (std::vector<uint32_t>{kGreen, kBlue, kWhite, kBlue, kGreen, kBlue, kWhite, kGreen,
                                                      kBlue}));
    EXPECT_NE(std::find(CanvasLog().begin(), CanvasLog().end(), "DrawSurfaceTransparent(0,0,3,3,0,0,3,3,$FF)"),
              CanvasLog().end());

    // Fixed mode takes the transparent colour, a system colour resolved.
    source->TransparentMode = 1;
    source->TransparentColor = TColor(0xFF000001);  // the desktop: black in the light palette
    Surface(*source).SetPixelValue(1, 1, 0xFF000000);
    target = MakeBitmap(3, 3, std::vector<uint32_t>(9, kWhite));
    target->GetCanvas()->Draw(source.Get());
    EXPECT_EQ(Pixels(*target), (std::vector<uint32_t>{kGreen, kBlue, kRed, kBlue, kWhite, kBlue, kRed, kGreen, kBlue}));
}

TEST_F(TBitmapFixture, ASurfaceWithAlphaIsBlendedInsteadOfKeyed) {
    TRef<TBitmap> source = MakeBitmap(2, 1, {0xFF0000FF, 0x00000000}, true);
    source->SetTransparent(true);
    TRef<TBitmap> target = MakeBitmap(2, 1, {kWhite, kWhite});
    target->GetCanvas()->Draw(source.Get());
    EXPECT_EQ(Pixels(*target), (std::vector<uint32_t>{kBlue, kWhite}));
}

TEST_F(TBitmapFixture, AssignCopiesPixelsAndSettingsExactly) {
    TRef<TBitmap> source = MakeBitmap(2, 2, {0x80400000, 0x00000000, 0xFF123456, 0x01010101}, true);
    source->TransparentColor = 0x123;
    source->TransparentMode = 1;
    source->SetTransparent(true);
    bitmap->SetSize(5, 5);
    TRef<TCanvas> old = bitmap->GetCanvas();
    changes = 0;
    bitmap->Assign(source.Get());
    EXPECT_EQ(Pixels(*bitmap), Pixels(*source));
    EXPECT_NE(bitmap->GetSurface().Get(), source->GetSurface().Get());
    EXPECT_TRUE(bitmap->GetSurface()->HasAlpha());
    EXPECT_EQ(bitmap->AlphaMode, 2);
    EXPECT_EQ(bitmap->TransparentColor, 0x123);
    EXPECT_EQ(bitmap->TransparentMode, 1);
    EXPECT_TRUE(bitmap->Transparent());
    EXPECT_NE(bitmap->GetCanvas().Get(), old.Get());
    EXPECT_EQ(changes, 1);

    bitmap->Assign(MakeRef<TBitmap>().Get());
    EXPECT_TRUE(bitmap->Empty());
    EXPECT_EQ(changes, 2);
}

TEST_F(TBitmapFixture, AssigningABitmapToItselfKeepsItsPixels) {
    TRef<TBitmap> b = MakeBitmap(2, 1, {kRed, kBlue});
    b->OnChange = [this](System::TObject*) { ++changes; };
    TRef<TCanvas> canvas = b->GetCanvas();
    TPlatformSurface* surface = b->GetSurface().Get();
    b->Assign(b.Get());
    EXPECT_EQ(Pixels(*b), (std::vector<uint32_t>{kRed, kBlue}));
    EXPECT_EQ(b->GetSurface().Get(), surface);
    EXPECT_EQ(b->GetCanvas().Get(), canvas.Get());
    EXPECT_EQ(changes, 1);
}

TEST_F(TBitmapFixture, AssignFromAnotherClassRaises) {
    TRef<TFont> font = MakeRef<TFont>();
    ExpectRaises<System::EListError>([&] { bitmap->Assign(font.Get()); }, u"AssignTo não implementado nesta classe");
    ExpectRaises<System::EListError>([&] { bitmap->Assign(nullptr); }, u"Assign de origem nil");
}

TEST_F(TBitmapFixture, CanLoadFromStreamPeeksAndSeeksBack) {
    struct TCase { System::TBytes data; bool can; };
    const TCase cases[] = {
        {{'B', 'M'}, true},
        {{0x89, 'P', 'N', 'G', 13, 10, 26}, false},
        {{0x89, 'P', 'N', 'G', 13, 10, 26, 10}, true},
        {{'B'}, false},
        {{'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'}, false},
    };
    for (const TCase& c : cases) {
        TBytesStream stream(c.data);
        stream.Data.insert(stream.Data.begin(), 'z');
        stream.Position = 1;
        EXPECT_EQ(bitmap->CanLoadFromStream(stream), c.can) << c.data.size();
        EXPECT_EQ(stream.Position, 1);
    }
}

TEST_F(TBitmapFixture, LoadRefusesShortAndUnknownDataAndKeepsTheBitmap) {
    TRef<TBitmap> b = MakeBitmap(1, 1, {kRed});
    struct TCase { System::TBytes data; std::u16string message; };
    const TCase cases[] = {
        {{'B', 'M', 0, 0, 0, 0, 0}, u"Imagem invalida"},
        {{'t', 'e', 'x', 't', ' ', 'o', 'n', 'e'}, u"Formato de imagem nao suportado"},
        {{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}, u"Formato de imagem nao suportado"},
        {{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0}, u"Formato de imagem nao suportado"},
    };
    for (const TCase& c : cases) {
        TBytesStream stream(c.data);
        ExpectRaises<EInvalidGraphic>([&] { b->LoadFromStream(stream); }, c.message);
        EXPECT_EQ(Pixels(*b), std::vector<uint32_t>{kRed});
    }
}

TEST_F(TBitmapFixture, LoadRefusesMoreThanTwoGibibytesBeforeReading) {
    THugeStream stream;
    ExpectRaises<EInvalidGraphic>([&] { bitmap->LoadFromStream(stream); }, u"Imagem invalida");
    EXPECT_TRUE(bitmap->Empty());
}

TEST_F(TBitmapFixture, LoadsAPngWithAlphaAndThenGrowsWithAlpha) {
    TPngImage image;
    image.Width = 2;
    image.Rows = {{255, 0, 0, 255, 0, 0, 255, 128}};  // opaque red, half-transparent blue
    const System::TBytes png = MakePng(image);
    TBytesStream stream(png);
    bitmap->GetCanvas();
    bitmap->LoadFromStream(stream);
    EXPECT_EQ(services->Calls[2], "LoadPngMemory " + std::to_string(png.size()));
    EXPECT_EQ(bitmap->AlphaMode, 2);
    EXPECT_EQ(Pixels(*bitmap), (std::vector<uint32_t>{kRed, 0x80000080}));
    EXPECT_EQ(changes, 1);

    CanvasLog().clear();
    bitmap->SetSize(3, 1);
    EXPECT_EQ(services->Calls.back(), "CreateSurface 3 1 1");
    EXPECT_EQ(CanvasLog(), TCallLog{"DrawSurfaceEx(0,0,2,1,0,0,2,1,$CC0020,255,1)"});
    EXPECT_EQ(Pixels(*bitmap), (std::vector<uint32_t>{kRed, 0x80000080, 0}));
}

TEST_F(TBitmapFixture, SavesAsBmpAndLoadsItBack) {
    TBytesStream empty;
    ExpectRaises<EInvalidGraphic>([&] { bitmap->SaveToStream(empty); }, u"Imagem vazia");
    EXPECT_TRUE(empty.Data.empty());

    TRef<TBitmap> source = MakeBitmap(2, 2, {kRed, kGreen, kBlue, kWhite});
    TBytesStream stream;
    source->SaveToStream(stream);
    EXPECT_EQ(stream.Data, EncodeBmp(*source->GetSurface()));
    stream.Seek(0, System::soBeginning);
    bitmap->LoadFromStream(stream);
    EXPECT_EQ(Pixels(*bitmap), Pixels(*source));
    EXPECT_EQ(bitmap->AlphaMode, 0);
}

TEST_F(TBitmapFixture, FilesThatCannotBeReachedRaiseTheFileStreamErrors) {
    const std::u16string missing = u"ZylGraphicsBitmapFiles_missing\\none.bmp";
    ExpectRaises<System::EFOpenError>([&] { bitmap->LoadFromFile(missing); }, u"não foi possível abrir o arquivo");
    bitmap->SetSize(1, 1);
    ExpectRaises<System::EFCreateError>([&] { bitmap->SaveToFile(missing); }, u"não foi possível criar o arquivo");
}

#ifdef _WIN32
TEST_F(TBitmapFixture, SavesToAFileAndLoadsItBack) {
    const char* name = "ZylGraphicsBitmapFileRoundTrip.bmp";
    TRef<TBitmap> source = MakeBitmap(2, 1, {kRed, kBlue});
    source->SaveToFile(std::u16string(name, name + std::strlen(name)));
    bitmap->LoadFromFile(std::u16string(name, name + std::strlen(name)));
    std::remove(name);
    EXPECT_EQ(Pixels(*bitmap), (std::vector<uint32_t>{kRed, kBlue}));
}
#endif

TEST(Bitmap, WithoutABackendRaisesAndStaysAsItWas) {
    TScopedPlatformServices none(nullptr);
    TRef<TBitmap> bitmap = MakeRef<TBitmap>();
    const std::u16string message = u"Nenhum backend de desenho ativo";
    bitmap->SetSize(0, 7);
    ExpectRaises<System::Exception>([&] { bitmap->SetSize(2, 2); }, message);
    EXPECT_EQ(std::pair(bitmap->Width(), bitmap->Height()), std::pair(0, 7));
    ExpectRaises<System::Exception>([&] { bitmap->GetCanvas(); }, message);
    TBytesStream stream({'B', 'M', 0, 0, 0, 0, 0, 0});
    ExpectRaises<System::Exception>([&] { bitmap->LoadFromStream(stream); }, message);
    EXPECT_TRUE(bitmap->Empty());

    TRef<TBitmap> source = MakeRef<TBitmap>();
    {
        TScopedPlatformServices some(MakeRef<TRecordingServices>());
        source->SetSize(1, 1);
    }
    ExpectRaises<System::Exception>([&] { bitmap->Assign(source.Get()); }, message);
    EXPECT_TRUE(bitmap->Empty());
    EXPECT_EQ(bitmap->Height(), 7);
}

TEST_F(TBitmapFixture, ASurfaceTheServicesCannotMakeRaisesAndKeepsTheBitmap) {
    TRef<TBitmap> source = MakeBitmap(1, 1, {kRed});
    TRef<TBitmap> b = MakeBitmap(2, 1, {kGreen, kBlue});
    services->FailCreateSurface = true;
    ExpectRaises<System::EOutOfMemory>([&] { b->SetSize(3, 3); }, u"Sem memória");
    ExpectRaises<System::EOutOfMemory>([&] { b->Assign(source.Get()); }, u"Sem memória");
    EXPECT_EQ(Pixels(*b), (std::vector<uint32_t>{kGreen, kBlue}));
}

TEST(Graphic, AbstractOperationsNameThemselvesAndTheClass) {
    TRef<TGraphic> graphic = MakeRef<TGraphic>();
    TBytesStream stream;
    TRef<TCanvas> canvas = MakeRef<TCanvas>(MakeRef<TRecordingCanvas>(), false);
    const std::pair<const char16_t*, std::function<void()>> cases[] = {
        {u"GetEmpty", [&] { graphic->Empty(); }},
        {u"GetHeight", [&] { graphic->Height(); }},
        {u"GetWidth", [&] { graphic->Width(); }},
        {u"SetHeight", [&] { graphic->SetHeight(1); }},
        {u"SetWidth", [&] { graphic->SetSize(1, 1); }},
        {u"Draw", [&] { graphic->DrawAlpha(*canvas, {}, 9); }},
        {u"LoadFromStream", [&] { graphic->LoadFromStream(stream); }},
        {u"SaveToStream", [&] { graphic->SaveToStream(stream); }},
    };
    for (const auto& [name, call] : cases)
        ExpectRaises<System::EAbstractError>(
            call, u"O método \"" + std::u16string(name) + u"\" da classe \"TGraphic\" não foi implementado");
    EXPECT_TRUE(graphic->CanLoadFromStream(stream));
}

TEST(Graphic, TransparentAnnouncesOnlyAChange) {
    TRef<TGraphic> graphic = MakeRef<TGraphic>();
    int changes = 0;
    graphic->OnChange = [&](System::TObject* sender) {
        EXPECT_EQ(sender, graphic.Get());
        ++changes;
    };
    graphic->SetTransparent(false);
    EXPECT_FALSE(graphic->Modified);
    graphic->SetTransparent(true);
    graphic->SetTransparent(true);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(graphic->Modified);
}

TEST(GraphicsUnit, StartUpAddsTheThemeHookAndTheFormats) {
    const size_t hooks = ThemeChangeHooks.size();
    InitializeGraphicsUnit();
    ASSERT_EQ(ThemeChangeHooks.size(), hooks + 1);
    TZylTheme dark;
    dark.Dark = true;
    ThemeChangeHooks.back()(dark);
    EXPECT_EQ(SysColorTable.Colors, DarkSysColors);
    ApplyThemeSysColors(TZylTheme{});

    RegisterGraphicFormat(u".bmp", u"Outro", &NewGraphic<TGraphic>);
    RegisterGraphicFormat(u".BMP", u"Maiusculas", &NewGraphic<TBitmap>);
    const std::vector<TGraphicFormat>& formats = GraphicFormats();
    ASSERT_EQ(formats.size(), 3u);
    EXPECT_EQ(formats[0].Extension, u".bmp");
    EXPECT_EQ(formats[0].Description, u"Bitmap");
    EXPECT_EQ(formats[0].GraphicClass, &NewGraphic<TGraphic>);
    EXPECT_EQ(formats[1].Extension, u".png");
    EXPECT_EQ(formats[1].Description, u"PNG");
    EXPECT_EQ(formats[2].Description, u"Maiusculas");
    EXPECT_NE(dynamic_cast<TBitmap*>(formats[1].GraphicClass().Get()), nullptr);
}

namespace {

// A backend as the pixel suite sees it: services that make real surfaces.
struct TBackend {
    const char* Name;
    TRef<TPlatformServices> (*Make)();
};

const TBackend kBackends[] = {
    {"Memory", [] { return TRef<TPlatformServices>(MakeRef<TRecordingServices>()); }},
    {"Soft", [] { return TRef<TPlatformServices>(MakeRef<TSoftServices>()); }},
#ifdef _WIN32
    {"Gdi", [] { return TRef<TPlatformServices>(MakeRef<TWinServices>()); }},
#endif
};

// 0xAARRGGBB words as the tight B, G, R, A rows a surface holds.
System::TBytes WordBytes(const std::vector<uint32_t>& words) {
    System::TBytes bytes;
    for (uint32_t w : words)
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(w >> shift));
    return bytes;
}

struct TBitmapPixels : ::testing::TestWithParam<TBackend> {
    TScopedPlatformServices scope{GetParam().Make()};

    // The pixels row by row; what a surface without alpha keeps in its
    // alpha byte is the backend's business, so it reads as opaque.
    static std::vector<uint32_t> Pixels(TBitmap& b) {
        std::vector<uint32_t> words = PixelWords(SurfaceBytes(*b.GetSurface()));
        if (!b.GetSurface()->HasAlpha())
            for (uint32_t& w : words) w |= 0xFF000000;
        return words;
    }

    static TRef<TBitmap> MakeBitmap(int32_t width, int32_t height, const std::vector<uint32_t>& pixels,
                                    bool alpha = false) {
        TRef<TBitmap> b = MakeRef<TBitmap>();
        b->AlphaMode = alpha ? 2 : 0;
        b->SetSize(width, height);
        FillSurface(*b->GetSurface(), WordBytes(pixels));
        return b;
    }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Backends, TBitmapPixels, ::testing::ValuesIn(kBackends),
                         [](const ::testing::TestParamInfo<TBackend>& info) { return info.param.Name; });

TEST_P(TBitmapPixels, ANewBitmapIsWhiteAndAResizeKeepsTheTopLeft) {
    TRef<TBitmap> bitmap = MakeBitmap(3, 2, {kRed, kGreen, kBlue, 0xFF010203, 0xFF040506, 0xFF070809});
    TRef<TBitmap> fresh = MakeRef<TBitmap>();
    fresh->SetSize(3, 2);
    EXPECT_EQ(Pixels(*fresh), std::vector<uint32_t>(6, kWhite));

    bitmap->SetWidth(4);
    EXPECT_EQ(Pixels(*bitmap),
              (std::vector<uint32_t>{kRed, kGreen, kBlue, kWhite, 0xFF010203, 0xFF040506, 0xFF070809, kWhite}));
    bitmap->SetSize(2, 3);
    EXPECT_EQ(Pixels(*bitmap), (std::vector<uint32_t>{kRed, kGreen, 0xFF010203, 0xFF040506, kWhite, kWhite}));
}

TEST_P(TBitmapPixels, TransparentDrawLeavesOutTheKeyColour) {
    // Red at the bottom left and once more at the top right; black in the
    // middle for the fixed mode's system colour.
    TRef<TBitmap> source = MakeBitmap(3, 3, {kGreen, kBlue, kRed, kBlue, 0xFF000000, kBlue, kRed, kGreen, kBlue});
    source->SetTransparent(true);
    TRef<TBitmap> target = MakeBitmap(3, 3, std::vector<uint32_t>(9, kWhite));
    target->GetCanvas()->Draw(source.Get());
    EXPECT_EQ(Pixels(*target),
              (std::vector<uint32_t>{kGreen, kBlue, kWhite, kBlue, 0xFF000000, kBlue, kWhite, kGreen, kBlue}));

    source->TransparentMode = 1;
    source->TransparentColor = TColor(0xFF000001);  // the desktop: black in the light palette
    target = MakeBitmap(3, 3, std::vector<uint32_t>(9, kWhite));
    target->GetCanvas()->Draw(source.Get());
    EXPECT_EQ(Pixels(*target), (std::vector<uint32_t>{kGreen, kBlue, kRed, kBlue, kWhite, kBlue, kRed, kGreen, kBlue}));
}

TEST_P(TBitmapPixels, AssignCopiesPixelsExactlyAndSelfAssignKeepsThem) {
    struct TCase { bool alpha; std::vector<uint32_t> pixels; };
    const TCase cases[] = {
        {false, {kRed, 0xFF010203, kBlue, kWhite}},
        // Premultiplied, as a surface with alpha holds them.
        {true, {0x80400000, 0x00000000, 0xFF123456, 0x01010101}},
    };
    for (const TCase& c : cases) {
        TRef<TBitmap> source = MakeBitmap(2, 2, c.pixels, c.alpha);
        TRef<TBitmap> bitmap = MakeBitmap(5, 5, std::vector<uint32_t>(25, kGreen));
        bitmap->Assign(source.Get());
        EXPECT_EQ(Pixels(*bitmap), c.pixels) << c.alpha;
        EXPECT_EQ(bitmap->GetSurface()->HasAlpha(), c.alpha);

        bitmap->Assign(bitmap.Get());
        EXPECT_EQ(Pixels(*bitmap), c.pixels) << c.alpha;
    }
}

TEST_P(TBitmapPixels, SavesAsBmpAndLoadsItBack) {
    TRef<TBitmap> bitmap = MakeRef<TBitmap>();
    TBytesStream empty;
    ExpectRaises<EInvalidGraphic>([&] { bitmap->SaveToStream(empty); }, u"Imagem vazia");
    EXPECT_TRUE(empty.Data.empty());

    const std::vector<uint32_t> pixels{kRed, kGreen, 0xFF010203, kBlue, kWhite, 0xFF000000};
    TRef<TBitmap> source = MakeBitmap(3, 2, pixels);
    TBytesStream stream;
    source->SaveToStream(stream);
    stream.Seek(0, System::soBeginning);
    bitmap->LoadFromStream(stream);
    EXPECT_EQ(std::pair(bitmap->Width(), bitmap->Height()), std::pair(3, 2));
    EXPECT_EQ(Pixels(*bitmap), pixels);
    EXPECT_EQ(bitmap->AlphaMode, 0);
}

TEST_P(TBitmapPixels, LoadsAnOpaquePngExactly) {
    TPngImage image;
    image.Width = 3;
    image.Height = 2;
    image.ColourType = 2;
    image.Rows = {{255, 0, 0, 0, 255, 0, 1, 2, 3}, {0, 0, 255, 255, 255, 255, 0, 0, 0}};
    TBytesStream stream(MakePng(image));
    TRef<TBitmap> bitmap = MakeRef<TBitmap>();
    bitmap->LoadFromStream(stream);
    EXPECT_EQ(std::pair(bitmap->Width(), bitmap->Height()), std::pair(3, 2));
    EXPECT_EQ(Pixels(*bitmap), (std::vector<uint32_t>{kRed, kGreen, 0xFF010203, kBlue, kWhite, 0xFF000000}));
}
