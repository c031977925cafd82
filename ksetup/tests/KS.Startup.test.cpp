#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "KS.Startup.h"
#include "KS.Sys.Files.h"
#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Threads.h"
#include "Zyl.Forms.h"
#include "Zyl.Platform.Drawn.h"
#include "Zyl.Platform.Shell.h"
#include "Zyl.Graphics.h"
#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.D2D.h"
#include "Zyl.Platform.Win.h"
#include "Zyl.Test.Child.h"
#include "Zyl.Test.Env.h"

using namespace KS;

TEST(InitializeUnits, FillsThePortugueseLocaleWithoutAccentsAndEndsAtStageTen) {
    InitializeUnits();
    EXPECT_EQ(InitStage, 10);
    EXPECT_NE(Zyl::FindCanvasBackend(u"gdi"), nullptr);
    const TLocaleSettings& locale = LocaleSettings;
    EXPECT_EQ(locale.ShortDateFormat, u"dd/MM/yyyy");
    EXPECT_EQ(locale.LongDateFormat, u"dddd, d' de 'MMMM' de 'yyyy");
    EXPECT_EQ(locale.ShortTimeFormat, u"HH:mm");
    EXPECT_EQ(locale.LongTimeFormat, u"HH:mm:ss");
    EXPECT_EQ(locale.DateSeparator, u'/');
    EXPECT_EQ(locale.TimeSeparator, u':');
    EXPECT_EQ(locale.ShortDayNames[0], u"dom");
    EXPECT_EQ(locale.ShortDayNames[6], u"sab");
    EXPECT_EQ(locale.LongDayNames[2], u"terca-feira");
    EXPECT_EQ(locale.LongDayNames[6], u"sabado");
    EXPECT_EQ(locale.ShortMonthNames[8], u"set");
    EXPECT_EQ(locale.LongMonthNames[2], u"marco");
    EXPECT_EQ(locale.LongMonthNames[11], u"dezembro");
    const auto unaccented = [](const auto& names) {
        for (const auto& name : names)
            for (const char16_t c : name)
                if (c >= 0x80) return false;
        return true;
    };
    EXPECT_TRUE(unaccented(locale.ShortDayNames));
    EXPECT_TRUE(unaccented(locale.LongDayNames));
    EXPECT_TRUE(unaccented(locale.ShortMonthNames));
    EXPECT_TRUE(unaccented(locale.LongMonthNames));
}

TEST(InitializeUnits, RegistersThePresentersAndTheCanvasesOnceHoweverOftenItRuns) {
    Zyl::ResetCanvasBackendState();
    InitializeUnits();
    InitializeUnits();
    ASSERT_EQ(Zyl::CanvasBackendCount(), 7);
    EXPECT_EQ(Zyl::CanvasBackendAt(0)->Name, u"gdi-present");
    EXPECT_EQ(Zyl::CanvasBackendAt(1)->Name, u"x11");
    EXPECT_EQ(Zyl::CanvasBackendAt(2)->Name, u"wayland");
    EXPECT_EQ(Zyl::CanvasBackendAt(3)->Name, u"soft");
    EXPECT_EQ(Zyl::CanvasBackendAt(4)->Name, u"d2d");
    EXPECT_EQ(Zyl::CanvasBackendAt(4)->Priority, 40);
    EXPECT_EQ(Zyl::CanvasBackendAt(4)->Caps, 0x9E);
    EXPECT_EQ(Zyl::CanvasBackendAt(5)->Name, u"gdiplus");
    EXPECT_EQ(Zyl::CanvasBackendAt(6)->Name, u"gdi");
    // The units choose no canvas: the application's start does.
    EXPECT_EQ(Zyl::CurrentPlatformServices(), nullptr);
    Zyl::ResetCanvasBackendState();
}

// The tests run under an X display, where Wine's Direct2D works; without
// one, or with ZYL_D2D_MISSING set, the chain falls to "gdi" (the Direct2D
// backend's own tests run those cases).
TEST(InitializeApplication, ChoosesD2DWhereItStarts) {
    Zyl::ResetCanvasBackendState();
    const char* saved = std::getenv("ZYL_CANVAS");
    const std::string keep = saved ? saved : "";
    SetEnvironmentVariableW(L"ZYL_CANVAS", nullptr);
    SetEnvironmentVariableW(L"ZYL_D2D_MISSING", nullptr);
    InitializeUnits();
    InitializeApplication();
    EXPECT_EQ(Zyl::GetCanvasChoice(), u"d2d,gdi");
    const std::u16string why = Zyl::GetD2DLastError(); // ASCII
    EXPECT_EQ(Zyl::ActiveCanvasBackendName(), u"d2d") << std::string(why.begin(), why.end());
    EXPECT_NE(dynamic_cast<Zyl::TD2DServices*>(Zyl::CurrentPlatformServices()), nullptr);
    EXPECT_NE(Zyl::CurrentPlatformServices(), nullptr);
    ASSERT_NE(ShellApplication(), nullptr);
    EXPECT_TRUE(ShellApplication()->WindowList.empty());
    ASSERT_NE(Zyl::Application->PlatformApp(), nullptr);
    EXPECT_EQ(static_cast<Zyl::TDrawnApp*>(Zyl::Application->PlatformApp())->Shell.Get(), ShellApplication());
    Zyl::TShellWinApp* first = ShellApplication();
    InitializeApplication();
    EXPECT_EQ(ShellApplication(), first);
    if (saved) SetEnvironmentVariableA("ZYL_CANVAS", keep.c_str());
    Zyl::ResetCanvasBackendState();
}

TEST(InitializeUnits, RegistersTheGraphicFormatsAndTheThemeHookOnce) {
    InitializeUnits();
    InitializeUnits();
    const std::vector<Zyl::TGraphicFormat>& formats = Zyl::GraphicFormats();
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].Extension, u".bmp");
    EXPECT_EQ(formats[0].Description, u"Bitmap");
    EXPECT_EQ(formats[1].Extension, u".png");
    EXPECT_EQ(formats[1].Description, u"PNG");
    // The graphics unit's system colours, then the forms.
    EXPECT_EQ(Zyl::ThemeChangeHooks.size(), 2u);
    EXPECT_TRUE(Zyl::FormsInitialized());
}

namespace {

std::vector<DWORD> TrayCalls;

} // namespace

TEST(FinalizeUnits, TakesTheTrayIconsThatNothingHoldsOutOfTheNotificationArea) {
    TrayCalls.clear();
    Zyl::ShellNotifyIconCall() = [](DWORD message, NOTIFYICONDATAW*) -> BOOL {
        TrayCalls.push_back(message);
        return TRUE;
    };
    InitializeUnits();
    System::TRef<Zyl::TWinTrayIcon> kept = Zyl::CreateWinTrayIcon();
    const int32_t droppedId = Zyl::CreateWinTrayIcon()->Id();
    kept->SetVisible(true);
    Zyl::FindTrayIcon(droppedId)->SetVisible(true);
    FinalizeUnits();
    EXPECT_EQ(TrayCalls, (std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_DELETE}));
    EXPECT_EQ(Zyl::FindTrayIcon(droppedId), nullptr);
    EXPECT_EQ(InitStage, 0);
    kept = nullptr; // whoever held it lets it go later
    EXPECT_EQ(TrayCalls.back(), DWORD(NIM_DELETE));
    EXPECT_EQ(TrayCalls.size(), 4u);
    FinalizeUnits(); // nothing is left to release
    EXPECT_EQ(TrayCalls.size(), 4u);
    Zyl::ShellNotifyIconCall() = Zyl::SystemShellNotifyIcon();
}

TEST(ShowMessageBox, GoesThroughTheReplaceableBoxWithTextTitleAndFlags) {
    static std::u16string seenText, seenTitle;
    static uint32_t seenFlags = 0;
    const TMessageBoxProc previous = MessageBoxProc();
    MessageBoxProc() = [](const std::u16string& text, const std::u16string& title, uint32_t flags) {
        seenText = text;
        seenTitle = title;
        seenFlags = flags;
        return 1;
    };
    EXPECT_EQ(ShowMessageBox(u"texto", u"Instalador", 16), 1);
    MessageBoxProc() = previous;
    EXPECT_EQ(seenText, u"texto");
    EXPECT_EQ(seenTitle, u"Instalador");
    EXPECT_EQ(seenFlags, 16u);
}

namespace {

struct TSystemBox {
    UINT Flags = 0;
    std::wstring Text, Title;
};
std::vector<TSystemBox> SystemBoxes;
int SystemAnswer = IDOK;

int FakeSystemBox(HWND, LPCWSTR text, LPCWSTR title, UINT flags) {
    SystemBoxes.push_back({flags, text, title});
    return SystemAnswer;
}

} // namespace

// The default box is the application object's: its flags reach the system
// as icon and button kinds, and its answers come back as IDOK..IDNO.
TEST(ShowMessageBox, ByDefaultGoesThroughTheApplicationObjectAndAnswersAsTheSystemBoxDoes) {
    struct TCase {
        uint32_t Flags;
        int SystemAnswer;
        UINT SystemFlags;
        int32_t Result;
    };
    const TCase cases[] = {
        {MB_YESNO | MB_ICONQUESTION, IDYES, MB_YESNO | MB_ICONQUESTION, IDYES},
        {MB_YESNO | MB_ICONQUESTION, IDNO, MB_YESNO | MB_ICONQUESTION, IDNO},
        {MB_YESNO | MB_ICONERROR, IDYES, MB_YESNO | MB_ICONERROR, IDYES},
        {MB_OK | MB_ICONINFORMATION, IDOK, MB_OK | MB_ICONINFORMATION, IDOK},
        {MB_OK | MB_ICONERROR, IDOK, MB_OK | MB_ICONERROR, IDOK},
        {MB_OKCANCEL | MB_ICONWARNING, IDCANCEL, MB_OKCANCEL | MB_ICONWARNING, IDCANCEL},
        // Buttons the application object does not offer become OK.
        {MB_RETRYCANCEL | MB_ICONERROR, IDOK, MB_OK | MB_ICONERROR, IDOK},
    };
    InitializeUnits();
    const Zyl::TShellCalls saved = Zyl::ShellCalls();
    Zyl::ShellCalls().MessageBox = FakeSystemBox;
    for (const TCase& c : cases) {
        SystemBoxes.clear();
        SystemAnswer = c.SystemAnswer;
        EXPECT_EQ(ShowMessageBox(u"Deseja remover o programa?", u"Desinstalar", c.Flags), c.Result) << c.Flags;
        ASSERT_EQ(SystemBoxes.size(), 1u);
        EXPECT_EQ(SystemBoxes[0].Flags, c.SystemFlags) << c.Flags;
        EXPECT_EQ(SystemBoxes[0].Text, L"Deseja remover o programa?");
        EXPECT_EQ(SystemBoxes[0].Title, L"Desinstalar");
    }
    Zyl::ShellCalls() = saved;
    EXPECT_NE(ShellApplication(), nullptr);
}

namespace {

// Volatile, so that the compiler can neither see the faults coming nor
// leave them out.
volatile int* volatile NullTarget = nullptr;
volatile int Dividend = 7;
volatile int Divisor = 0;
volatile int Sink = 0;
volatile bool KeepDescending = true;

// Every call keeps a frame of its own: the deeper call's result is stored in
// this frame's volatile array, so the recursion cannot become a loop.
int Descend(int depth) {
    volatile char frame[512];
    frame[0] = char(depth);
    frame[1] = char(KeepDescending ? Descend(depth + 1) : 0);
    return frame[0] + frame[1];
}

} // namespace

// Run only as children of the test below: each faults after the start-up.
TEST(HardwareFaultChild, DISABLED_NullWrite) {
    InitializeUnits();
    *NullTarget = 1;
}

TEST(HardwareFaultChild, DISABLED_StackOverflow) {
    InitializeUnits();
    Sink = Descend(0);
}

// The worker's overflow must end the run: a worker that is gone without it
// leaves the program's exit waiting for its routine to end. The test returns
// once the worker descends (a routine that starts after the exit began would
// not run its work at all).
TEST(HardwareFaultChild, DISABLED_StackOverflowOnAWorker) {
    InitializeUnits();
    struct TDescending : System::TThread {
        TOwnedHandle Descending;
        TDescending() { Descending.Handle = int64_t(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }
        void Execute() override {
            SetEvent(HANDLE(Descending.Handle));
            Sink = Descend(0);
        }
    };
    const System::TRef<TDescending> worker = System::MakeRef<TDescending>();
    worker->Start();
    WaitForSingleObject(HANDLE(worker->Descending.Handle), INFINITE);
}

TEST(HardwareFaultChild, DISABLED_IntegerDivisionByZero) {
    InitializeUnits();
    Sink = Dividend / Divisor;
}

TEST(HardwareFaultChild, DISABLED_UncaughtException) {
    InitializeUnits();
    throw System::EConvertError(u"sem tratamento");
}

// On the main thread the C runtime's start-up frame takes a C++ exception
// before the last-chance filter does; below a bare system thread there is no
// such frame, so it reaches the filter (the program's own threads never let
// one out: this thread does so on purpose).
TEST(HardwareFaultChild, DISABLED_UncaughtExceptionOnASystemThread) {
    InitializeUnits();
    const auto raise = [](void*) -> DWORD { throw System::EConvertError(u"sem tratamento"); };
    TOwnedHandle thread;
    thread.Handle = int64_t(CreateThread(nullptr, 0, raise, nullptr, 0, nullptr));
    WaitForSingleObject(HANDLE(thread.Handle), INFINITE);
}

// A fault ends the run as an exception that nothing caught does: its line on
// standard output and exit code 1, which deployment tools read as a failure;
// a C++ exception keeps its own way to that end.
TEST(HardwareFault, EndsTheRunWithTheUnhandledLineAndExitCodeOne) {
    const struct {
        const char* Child;
        const char* Line;   // up to the address, or whole
        bool Address;
    } cases[] = {
        {"NullWrite", "Excecao nao tratada: Violação de acesso (código C0000005) no endereço ", true},
        {"StackOverflow", "Excecao nao tratada: Estouro de pilha (código C00000FD) no endereço ", true},
        {"StackOverflowOnAWorker", "Excecao nao tratada: Estouro de pilha (código C00000FD) no endereço ", true},
        {"IntegerDivisionByZero", "Excecao nao tratada: Divisão por zero (código C0000094) no endereço ", true},
        {"UncaughtException", "Excecao nao tratada: sem tratamento\r\n", false},
        {"UncaughtExceptionOnASystemThread", "Excecao nao tratada: sem tratamento\r\n", false},
    };
    // GoogleTest would otherwise catch the C++ exception in the test body.
    const Zyl::Testing::TScopedEnvVar uncaught(u"GTEST_CATCH_EXCEPTIONS", u"0");
    for (const auto& c : cases) {
        std::string output;
        // A child that hangs instead of ending is ended, and fails.
        const uint32_t code = Zyl::Testing::RunChildTests(
            Zyl::Testing::ThisProgram(), std::string("HardwareFaultChild.DISABLED_") + c.Child, output, 60000);
        EXPECT_EQ(code, 1u) << c.Child << "; the child said:\n" << output;
        const size_t at = output.find(c.Line);
        EXPECT_NE(at, std::string::npos) << c.Child << "; the child said:\n" << output;
        if (at == std::string::npos || !c.Address) continue;
        // Sixteen digits and the line's end (the C runtime's text mode ends
        // the C++ exception's line so too), then the faulting instruction lies
        // in this same program (the child is loaded where this process is).
        const std::string rest = output.substr(at + std::strlen(c.Line), 18);
        const bool addressEndsLine =
            rest.size() == 18 && rest.find_first_not_of("0123456789ABCDEF") == 16 && rest.ends_with("\r\n");
        EXPECT_TRUE(addressEndsLine) << c.Child << ": " << rest;
        if (!addressEndsLine) continue;
        MEMORY_BASIC_INFORMATION region{};
        VirtualQuery(reinterpret_cast<void*>(std::stoull(rest, nullptr, 16)), &region, sizeof(region));
        EXPECT_EQ(region.AllocationBase, GetModuleHandleW(nullptr)) << c.Child << " at " << rest;
    }
}
