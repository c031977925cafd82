#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "System.Remainder.Os.h"
#include "Zyl.Platform.Win.Blocks.h"
#include "Zyl.Platform.Win.h"
#include "Zyl.Test.Memory.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

// Puts the real clipboard, theme and dialog calls back after each test.
class TServicesTest : public testing::Test {
protected:
    void SetUp() override { Restore(); }
    void TearDown() override { Restore(); }
    static void Restore() {
        ClipboardCalls() = SystemClipboardCalls();
        FrameThemeCalls() = SystemFrameThemeCalls();
        DialogCalls() = SystemDialogCalls();
    }
};

// Places Bytes under Format on the real clipboard, alone.
void PlaceOnClipboard(UINT Format, const System::TBytes& Bytes) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, Bytes.size());
    std::memcpy(GlobalLock(block), Bytes.data(), Bytes.size());
    GlobalUnlock(block);
    ASSERT_NE(SetClipboardData(Format, block), nullptr);
    CloseClipboard();
}

System::TBytes DibHeader(int32_t Width, int32_t Height, uint16_t Bits, size_t PixelBytes) {
    System::TBytes block(40 + PixelBytes, 0);
    block[0] = 40;
    std::memcpy(&block[4], &Width, 4);
    std::memcpy(&block[8], &Height, 4);
    block[12] = 1;
    std::memcpy(&block[14], &Bits, 2);
    return block;
}

} // namespace

// --- Callback boundary ------------------------------------------------------------

TEST(CallbackBoundary, DropsExceptionsWhenAskedAndKeepsEverythingElseForThePump) {
    EXPECT_EQ(RunCallbackBody<int>(true, -1, []() -> int { throw System::Exception(u"descartada"); }), -1);
    EXPECT_FALSE(HasPendingCallbackException());
    EXPECT_EQ(RunCallbackBody<int>(true, -1, []() -> int { throw 42; }), -1);
    EXPECT_EQ(RunCallbackBody<int>(false, -2, []() -> int { throw System::Exception(u"segunda"); }), -2);
    ASSERT_TRUE(HasPendingCallbackException());
    EXPECT_THROW(RaisePendingCallbackException(), int) << "the first one waits, the later one is lost";
    EXPECT_FALSE(HasPendingCallbackException());
    RaisePendingCallbackException();  // nothing pending: nothing raised
    EXPECT_EQ(RunCallbackBody<int>(false, 0, [] { return 7; }), 7);
}

// --- Clipboard: the real one ------------------------------------------------------

TEST_F(TServicesTest, ClipboardTextRoundTripsAndAHeldClipboardReadsEmpty) {
    WriteClipboardText(u"Instalação concluída");
    EXPECT_EQ(ReadClipboardText(), u"Instalação concluída");

    std::atomic<int> stage{0};
    // Another owner holds it open through a window of its own, as another
    // program would.
    std::thread holder([&] {
        HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        OpenClipboard(owner);
        stage = 1;
        while (stage != 2) Sleep(1);
        CloseClipboard();
        DestroyWindow(owner);
    });
    while (stage != 1) Sleep(1);
    EXPECT_EQ(ReadClipboardText(), u"");
    WriteClipboardText(u"não entra");
    stage = 2;
    holder.join();
    EXPECT_EQ(ReadClipboardText(), u"Instalação concluída");
}

TEST_F(TServicesTest, ClipboardImageKeepsItsAlphaThroughThePngBlock) {
    Testing::TScopedPlatformServices services(MakeRef<TWinServices>());
    TRef<TWinSurface> image = MakeRef<TWinSurface>(3, 2, true);
    const uint32_t pixels[6] = {0xFF0000FF, 0x80008000, 0x00000000, 0xFFFFFFFF, 0x40404040, 0xFF123456};
    std::memcpy(image->Bits(), pixels, sizeof pixels);
    WriteClipboardImage(image.Get());
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
    EXPECT_TRUE(IsClipboardFormatAvailable(PngClipboardFormat()));
    TRef<TPlatformSurface> back = ReadClipboardImage();
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->HasAlpha());
    ASSERT_EQ(back->Width(), 3);
    ASSERT_EQ(back->Height(), 2);
    EXPECT_EQ(std::memcmp(back->Bits(), pixels, sizeof pixels), 0);
}

TEST_F(TServicesTest, ClipboardDibsOf24BitsReadOpaqueTopRowFirstAndOtherDepthsNot) {
    Testing::TScopedPlatformServices services(MakeRef<TWinServices>());
    // 2 x 2 bottom-up: the bottom row (blue, green) first, rows padded to 8.
    System::TBytes dib = DibHeader(2, 2, 24, 16);
    const uint8_t rows[16] = {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 10, 20, 30, 0, 0};
    std::memcpy(&dib[40], rows, 16);
    PlaceOnClipboard(CF_DIB, dib);
    TRef<TPlatformSurface> image = ReadClipboardImage();
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(image->HasAlpha());
    EXPECT_EQ(image->PixelAt(0, 0), 0x0000FF);
    EXPECT_EQ(image->PixelAt(1, 0), 0x0A141E);
    EXPECT_EQ(image->PixelAt(0, 1), 0xFF0000);
    EXPECT_EQ(image->PixelAt(1, 1), 0x00FF00);
    EXPECT_EQ(image->AlphaAt(1, 1), 255);

    PlaceOnClipboard(CF_DIB, DibHeader(2, 2, 16, 8));
    EXPECT_EQ(ReadClipboardImage(), nullptr);
    // Rows announced beyond the block are not read.
    PlaceOnClipboard(CF_DIB, DibHeader(2, 1000, 32, 16));
    EXPECT_EQ(ReadClipboardImage(), nullptr);
}

// --- Clipboard: scripted failures ---------------------------------------------------

namespace {

struct TFakeClipboard {
    HGLOBAL Block = nullptr;  // what GetData answers
    bool Accept = true;
    std::vector<UINT> Placed;
    int Allocs = 0;
    int Frees = 0;
};
TFakeClipboard Fake;

void UseFakeClipboard() {
    Fake = TFakeClipboard();
    TClipboardCalls& calls = ClipboardCalls();
    calls.Open = [](HWND) -> BOOL { return TRUE; };
    calls.Close = []() -> BOOL { return TRUE; };
    calls.Empty = []() -> BOOL { return TRUE; };
    calls.IsFormatAvailable = [](UINT format) -> BOOL { return Fake.Block && format != PngClipboardFormat(); };
    calls.GetData = [](UINT) -> HANDLE { return Fake.Block; };
    calls.SetData = [](UINT format, HANDLE block) -> HANDLE {
        if (!Fake.Accept) return nullptr;
        Fake.Placed.push_back(format);
        GlobalFree(block);  // what the clipboard would own from here on
        return block;
    };
    calls.Alloc = [](UINT flags, SIZE_T bytes) { ++Fake.Allocs; return GlobalAlloc(flags, bytes); };
    calls.Free = [](HGLOBAL block) { ++Fake.Frees; return GlobalFree(block); };
}

// A global block holding exactly Bytes (no terminator of its own).
HGLOBAL BlockOf(const void* Bytes, size_t Size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, Size);
    std::memcpy(GlobalLock(block), Bytes, Size);
    GlobalUnlock(block);
    return block;
}

} // namespace

TEST_F(TServicesTest, ClipboardTextIsBoundedByItsBlock) {
    UseFakeClipboard();
    const char16_t text[5] = {u'a', u'b', u'c', u'd', u'e'};
    Fake.Block = BlockOf(text, 4 * sizeof(char16_t));  // "abcd", no NUL
    EXPECT_EQ(ReadClipboardText(), u"abcd");
    GlobalFree(Fake.Block);
    Fake.Block = nullptr;
    EXPECT_EQ(ReadClipboardText(), u"") << "no block at all";
}

TEST_F(TServicesTest, BlocksTheClipboardRefusesAreFreed) {
    Testing::TScopedPlatformServices services(MakeRef<TWinServices>());
    UseFakeClipboard();
    Fake.Accept = false;
    WriteClipboardText(u"recusado");
    TRef<TWinSurface> image = MakeRef<TWinSurface>(2, 2, true);
    WriteClipboardImage(image.Get());
    EXPECT_EQ(Fake.Allocs, 3);
    EXPECT_EQ(Fake.Frees, 3);

    UseFakeClipboard();
    WriteClipboardText(u"aceito");
    WriteClipboardImage(image.Get());
    EXPECT_EQ(Fake.Frees, 0) << "the clipboard owns what it took";
    EXPECT_EQ(Fake.Placed, (std::vector<UINT>{CF_UNICODETEXT, CF_DIB, PngClipboardFormat()}));
}

TEST_F(TServicesTest, ASurfaceWithoutPixelsPlacesNoDib) {
    Testing::TScopedPlatformServices services(MakeRef<TWinServices>());
    UseFakeClipboard();
    TRef<TWinSurface> empty = MakeRef<TWinSurface>(100000, 100000, true);
    WriteClipboardImage(empty.Get());
    WriteClipboardImage(nullptr);
    EXPECT_TRUE(Fake.Placed.empty());
    EXPECT_EQ(Fake.Allocs, 0);

    // And a surface of the services that cannot take the DIB's pixels gives nil.
    TRef<Testing::TMemoryServices> memory = MakeRef<Testing::TMemoryServices>();
    memory->NilBitsSurfaces = true;
    Testing::TScopedPlatformServices nilBits(memory);
    const System::TBytes dib = DibHeader(1, 1, 32, 4);
    Fake.Block = BlockOf(dib.data(), dib.size());
    EXPECT_EQ(ReadClipboardImage(), nullptr);
    GlobalFree(Fake.Block);
}

// --- Frame theme ------------------------------------------------------------------

namespace {

std::vector<std::string> ThemeLog;
HRESULT AttributeResult20 = S_OK;
bool DwmMissing = false, UxThemeMissing = false, Ordinal135Missing = false, Ordinal136Missing = false;

int WINAPI FakeSetPreferredAppMode(int mode) {
    ThemeLog.push_back("135 " + std::to_string(mode));
    return 0;
}
void WINAPI FakeFlushMenuThemes() { ThemeLog.push_back("136"); }

void UseFakeTheme() {
    ThemeLog.clear();
    AttributeResult20 = S_OK;
    DwmMissing = UxThemeMissing = Ordinal135Missing = Ordinal136Missing = false;
    TFrameThemeCalls& calls = FrameThemeCalls();
    calls.SetWindowAttribute = [](HWND, DWORD attribute, LPCVOID value, DWORD size) -> HRESULT {
        if (DwmMissing) throw System::EOsError(127, u"DwmSetWindowAttribute");
        DWORD v;
        std::memcpy(&v, value, 4);
        ThemeLog.push_back("attr " + std::to_string(attribute) + " " + std::to_string(v) + " size " +
                           std::to_string(size));
        return attribute == 20 ? AttributeResult20 : S_OK;
    };
    calls.SetWindowTheme = [](HWND, LPCWSTR subApp, LPCWSTR) -> HRESULT {
        ThemeLog.push_back(subApp ? "theme dark" : "theme none");
        return S_OK;
    };
    calls.SetWindowPos = [](HWND, HWND, int, int, int, int, UINT flags) -> BOOL {
        ThemeLog.push_back("pos " + std::to_string(flags));
        return TRUE;
    };
    calls.LoadUxTheme = []() -> HMODULE {
        if (UxThemeMissing) throw System::EOsError(126, u"uxtheme.dll");
        return reinterpret_cast<HMODULE>(0x1000);
    };
    calls.ExportByOrdinal = [](HMODULE, WORD ordinal) -> FARPROC {
        if (ordinal == 135 && !Ordinal135Missing)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeSetPreferredAppMode));
        if (ordinal == 136 && !Ordinal136Missing)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeFlushMenuThemes));
        return nullptr;
    };
}

} // namespace

TEST_F(TServicesTest, FrameThemeCallsInOrderAndFallsBackToAttribute19) {
    const HWND window = reinterpret_cast<HWND>(0x1234);
    struct TCase {
        const char* Name;
        void (*Setup)();
        bool Dark;
        std::vector<std::string> Log;
    };
    const std::vector<std::string> colours = {"attr 34 3 size 4", "attr 35 1 size 4", "attr 36 2 size 4"};
    const auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const TCase cases[] = {
        {"dark", [] {}, true,
         join(join({"attr 20 1 size 4"}, colours), {"theme dark", "135 2", "136", "pos 55"})},
        {"light", [] {}, false,
         join(join({"attr 20 0 size 4"}, colours), {"theme none", "135 3", "136", "pos 55"})},
        {"20 refused", [] { AttributeResult20 = E_INVALIDARG; }, true,
         join(join({"attr 20 1 size 4", "attr 19 1 size 4"}, colours), {"theme dark", "135 2", "136", "pos 55"})},
        {"no dwmapi", [] { DwmMissing = true; }, true, {}},
        {"no uxtheme", [] { UxThemeMissing = true; }, true,
         join(join({"attr 20 1 size 4"}, colours), {"theme dark", "pos 55"})},
        {"no 135", [] { Ordinal135Missing = true; }, false,
         join(join({"attr 20 0 size 4"}, colours), {"theme none", "pos 55"})},
        {"no 136", [] { Ordinal136Missing = true; }, true,
         join(join({"attr 20 1 size 4"}, colours), {"theme dark", "135 2", "pos 55"})},
    };
    for (const TCase& c : cases) {
        UseFakeTheme();
        c.Setup();
        ApplyShellFrameTheme(window, c.Dark, 1, 2, 3);
        EXPECT_EQ(ThemeLog, c.Log) << c.Name;
    }
    UseFakeTheme();
    ApplyShellFrameTheme(nullptr, true, 1, 2, 3);
    EXPECT_TRUE(ThemeLog.empty());
}

namespace {

// What reaches a window whose procedure records the theme and frame changes.
std::vector<std::string> FrameMessages;
WNDPROC StaticProc = nullptr;

LRESULT CALLBACK RecordFrameMessages(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_THEMECHANGED) FrameMessages.push_back("theme changed");
    if (Message == WM_NCCALCSIZE && WParam) FrameMessages.push_back("frame recomputed");
    return CallWindowProcW(StaticProc, Window, Message, WParam, LParam);
}

} // namespace

// The system's own table reaches the window: SetWindowTheme tells it of the
// new theme and the frame is computed again, where it stands. Its missing
// ordinals (as under Wine) and the menu mode raise nothing.
TEST_F(TServicesTest, RealFrameThemeReachesTheWindow) {
    const HWND window =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 12, 14, 30, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    StaticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordFrameMessages)));
    for (const bool dark : {true, false}) {
        FrameMessages.clear();
        ApplyShellFrameTheme(window, dark, 0x202020, 0xFFFFFF, 0x404040);
        EXPECT_EQ(FrameMessages, (std::vector<std::string>{"theme changed", "frame recomputed"})) << dark;
        RECT r{};
        GetWindowRect(window, &r);
        EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{12, 14, 42, 34}));
    }
    EXPECT_NO_THROW(SetMenuThemeMode(true));
    EXPECT_NO_THROW(SetMenuThemeMode(false));
    DestroyWindow(window);
}

// --- Dialogs ------------------------------------------------------------------------

namespace {

struct TDialogRecord {
    std::string Function;
    DWORD Flags = 0;
    DWORD MaxFile = 0;
    DWORD FilterIndex = 0;
    std::u16string Filter;  // up to the double NUL
    std::u16string Initial; // the file buffer as the dialog got it
    bool HasTitle = false, HasFolder = false, HasExt = false;
};
TDialogRecord LastDialog;
std::u16string DialogAnswer;  // written into the buffer; empty: cancel
DWORD AnswerIndex = 0;

BOOL RecordDialog(const char* Function, OPENFILENAMEW* d) {
    LastDialog = TDialogRecord();
    LastDialog.Function = Function;
    LastDialog.Flags = d->Flags;
    LastDialog.MaxFile = d->nMaxFile;
    LastDialog.FilterIndex = d->nFilterIndex;
    if (d->lpstrFilter) {
        const char16_t* f = reinterpret_cast<const char16_t*>(d->lpstrFilter);
        size_t n = 0;
        while (f[n] || f[n + 1]) ++n;
        LastDialog.Filter.assign(f, n + 2);
    }
    LastDialog.Initial = System::FromWStr(d->lpstrFile);
    LastDialog.HasTitle = d->lpstrTitle != nullptr;
    LastDialog.HasFolder = d->lpstrInitialDir != nullptr;
    LastDialog.HasExt = d->lpstrDefExt != nullptr;
    if (DialogAnswer.empty()) return FALSE;
    std::memcpy(d->lpstrFile, DialogAnswer.data(), DialogAnswer.size() * 2);
    d->nFilterIndex = AnswerIndex;
    return TRUE;
}

void UseFakeDialogs(const std::u16string& Answer, DWORD Index = 2) {
    DialogAnswer = Answer;
    AnswerIndex = Index;
    DialogCalls().GetOpenFileName = [](OPENFILENAMEW* d) { return RecordDialog("open", d); };
    DialogCalls().GetSaveFileName = [](OPENFILENAMEW* d) { return RecordDialog("save", d); };
}

} // namespace

TEST_F(TServicesTest, FileDialogFlagsBuffersAndFunctionFollowKindAndOptions) {
    struct TCase {
        int32_t Kind, Options;
        const char* Function;
        DWORD Flags, MaxFile;
    };
    const TCase cases[] = {
        {FileDialogOpen, 0, "open", 0x80000, 1024},
        {FileDialogOpen, 0x3F, "open", 0x80000 | 4 | 8 | 0x800 | 0x1000 | 0x200, 65520},
        {FileDialogSave, 0x3F, "save", 0x80000 | 4 | 8 | 0x800 | 2, 1024},
        {FileDialogSave, FileDialogOverwritePrompt, "save", 0x80002, 1024},
        {FileDialogOpen, FileDialogOverwritePrompt | FileDialogFileMustExist, "open", 0x81000, 1024},
    };
    for (const TCase& c : cases) {
        UseFakeDialogs(std::u16string(u"C:\\x.txt\0", 9));
        int32_t index = 1;
        std::u16string result;
        ASSERT_TRUE(ShowFileDialog(nullptr, u"", c.Kind, c.Options, u"", u"", u"", u"", index, result));
        EXPECT_EQ(LastDialog.Function, c.Function) << c.Options;
        EXPECT_EQ(LastDialog.Flags, c.Flags) << c.Options;
        EXPECT_EQ(LastDialog.MaxFile, c.MaxFile) << c.Options;
        EXPECT_FALSE(LastDialog.HasTitle || LastDialog.HasFolder || LastDialog.HasExt);
        EXPECT_EQ(LastDialog.FilterIndex, 0u) << "no filter, no index";
        EXPECT_EQ(result, u"C:\\x.txt");
        EXPECT_EQ(index, 2);
    }
}

TEST_F(TServicesTest, FileDialogAnswersAndInitialNames) {
    struct TCase {
        std::u16string Answer;
        std::u16string Result;
    };
    const TCase cases[] = {
        {std::u16string(u"C:\\Dados\0a.txt\0b.txt\0\0", 22), u"C:\\Dados\\a.txt\nC:\\Dados\\b.txt"},
        {std::u16string(u"C:\\\0a.txt\0b.txt\0\0", 17), u"C:\\a.txt\nC:\\b.txt"},
        {std::u16string(u"C:\\Dados\\a.txt\0\0", 16), u"C:\\Dados\\a.txt"},
    };
    for (const TCase& c : cases) {
        UseFakeDialogs(c.Answer, 3);
        int32_t index = 2;
        std::u16string result;
        ASSERT_TRUE(ShowFileDialog(nullptr, u"Abrir", FileDialogOpen, FileDialogMultiSelect, u"a.txt", u"C:\\Dados",
                                   u"Texto|*.txt|Todos|*.*", u"txt", index, result));
        EXPECT_EQ(result, c.Result);
        EXPECT_EQ(index, 3);
        EXPECT_EQ(LastDialog.FilterIndex, 2u);
        EXPECT_EQ(LastDialog.Filter, std::u16string(u"Texto\0*.txt\0Todos\0*.*\0\0", 23));
        EXPECT_EQ(LastDialog.Initial, u"a.txt");
        EXPECT_TRUE(LastDialog.HasTitle && LastDialog.HasFolder && LastDialog.HasExt);
    }

    const std::u16string longName(1200, u'n');
    int32_t index = 5;
    std::u16string result = u"intacto";
    UseFakeDialogs(u"");
    EXPECT_FALSE(ShowFileDialog(nullptr, u"", FileDialogSave, 0, longName, u"", u"", u"", index, result));
    EXPECT_EQ(LastDialog.Initial, u"") << "a name of 1200 units is left out";
    EXPECT_EQ(result, u"intacto");
    EXPECT_EQ(index, 5);
    EXPECT_FALSE(ShowSimpleFileDialog(nullptr, u"", true, longName, u"", u"", u"", index, result));
    EXPECT_EQ(LastDialog.Initial, longName.substr(0, 1000));
    EXPECT_EQ(LastDialog.Flags, 0x8080Eu);
    EXPECT_EQ(LastDialog.Function, "save");
    EXPECT_FALSE(ShowSimpleFileDialog(nullptr, u"", false, u"", u"", u"", u"", index, result));
    EXPECT_EQ(LastDialog.Flags, 0x8180Cu);
    EXPECT_EQ(LastDialog.Function, "open");
    EXPECT_EQ(LastDialog.MaxFile, 1024u);
}

TEST_F(TServicesTest, FolderDialogStartsAtTheInitialFolderOnlyWhenGiven) {
    static bool hadCallback;
    static std::u16string chosen;
    DialogCalls().BrowseForFolder = [](BROWSEINFOW* d) -> void* {
        hadCallback = d->lpfn != nullptr;
        EXPECT_EQ(d->ulFlags, 0x51u);
        return chosen.empty() ? nullptr : reinterpret_cast<void*>(0x10);
    };
    DialogCalls().PathFromItemList = [](void*, LPWSTR path) -> BOOL {
        std::memcpy(path, chosen.c_str(), (chosen.size() + 1) * 2);
        return TRUE;
    };
    DialogCalls().FreeItemList = [](void*) {};
    chosen = u"C:\\Dados";
    std::u16string result;
    int32_t index = 0;
    ASSERT_TRUE(ShowFileDialog(nullptr, u"Pasta", FileDialogFolder, 0, u"", u"C:\\", u"", u"", index, result));
    EXPECT_EQ(result, u"C:\\Dados");
    EXPECT_TRUE(hadCallback);
    chosen.clear();
    result = u"intacto";
    EXPECT_FALSE(BrowseForFolder(nullptr, u"", u"", result));
    EXPECT_FALSE(hadCallback);
    EXPECT_EQ(result, u"intacto");
    EXPECT_EQ(BrowseFolderCallback(nullptr, BFFM_INITIALIZED, 0, 0), 0);
}

// --- Application icon ------------------------------------------------------------

namespace {

// A copy of this test program with one 16 x 16 icon under an icon group of
// the given name, loaded as a resource module.
class TIconModule {
public:
    TIconModule(const std::u16string& FileName, LPCWSTR GroupName) {
        wchar_t self[MAX_PATH], temp[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        GetTempPathW(MAX_PATH, temp);
        path_ = System::FromWStr(temp) + FileName;
        CopyFileW(self, System::WStr(path_), FALSE);
        // The icon: a 32-bit DIB of twice the height (colour, then mask).
        System::TBytes icon = DibHeader(16, 32, 32, 16 * 16 * 4 + 16 * 4);
        std::memset(&icon[40], 0x80, 16 * 16 * 4);
        const uint8_t group[20] = {0, 0, 1, 0, 1, 0,                       // reserved, type icon, one entry
                                   16, 16, 0, 0, 1, 0, 32, 0,              // 16 x 16, 1 plane, 32 bits
                                   uint8_t(icon.size()), uint8_t(icon.size() >> 8), 0, 0, 7, 0};  // size, id 7
        HANDLE update = BeginUpdateResourceW(System::WStr(path_), FALSE);
        UpdateResourceW(update, RT_ICON, MAKEINTRESOURCEW(7), 0, icon.data(), DWORD(icon.size()));
        UpdateResourceW(update, RT_GROUP_ICON, GroupName, 0, const_cast<uint8_t*>(group), sizeof group);
        EndUpdateResourceW(update, FALSE);
        module_ = LoadLibraryExW(System::WStr(path_), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~TIconModule() {
        if (module_) FreeLibrary(module_);
        DeleteFileW(System::WStr(path_));
    }
    HMODULE Module() const { return module_; }

private:
    std::u16string path_;
    HMODULE module_ = nullptr;
};

} // namespace

TEST(AppIcon, TheInstallerFindsItsIconGroupWithIdOne) {
    const std::string path = ZYL_TEST_SETUP_EXE;
    const HMODULE setup = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(setup, nullptr) << path;
    EXPECT_NE(LoadAppIcon(true, setup), nullptr);
    EXPECT_NE(LoadAppIcon(false, setup), nullptr);
    FreeLibrary(setup);
}

TEST(AppIcon, FoundByMainIconNameByIdOrAsTheFirstGroupWhateverItsName) {
    EXPECT_EQ(LoadAppIcon(true), nullptr) << "this program has no icon";
    struct TCase {
        const char16_t* File;
        LPCWSTR Group;
    };
    const TCase cases[] = {{u"AppIcon.Main.exe", L"MAINICON"},
                           {u"AppIcon.Id.exe", MAKEINTRESOURCEW(1)},
                           {u"AppIcon.Named.exe", L"GRUPOCOMNOME"},
                           {u"AppIcon.Number.exe", MAKEINTRESOURCEW(42)}};
    for (const TCase& c : cases) {
        TIconModule module(c.File, c.Group);
        ASSERT_NE(module.Module(), nullptr);
        EXPECT_NE(LoadAppIcon(true, module.Module()), nullptr) << int(&c - cases);
        EXPECT_NE(LoadAppIcon(false, module.Module()), nullptr);
    }
}

// --- Real dialogs, cancelled -------------------------------------------------------

namespace {

// Cancels every dialog box of this thread, from inside its modal loop.
void CALLBACK CancelDialogs(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            wchar_t name[16];
            if (GetClassNameW(window, name, 16) && std::wstring(name) == L"#32770")
                PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        },
        0);
}

} // namespace

TEST_F(TServicesTest, RealDialogsCancelledAnswerFalseAndLeaveTheArgumentsAlone) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, CancelDialogs);
    for (int32_t kind : {FileDialogOpen, FileDialogSave, FileDialogFolder}) {
        int32_t index = 4;
        std::u16string result = u"intacto";
        EXPECT_FALSE(ShowFileDialog(nullptr, u"Teste", kind, 0, u"a.txt", u"C:\\", u"Todos|*.*", u"", index, result))
            << kind;
        EXPECT_EQ(result, u"intacto");
        EXPECT_EQ(index, 4);
    }
    KillTimer(nullptr, timer);
}
