#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "System.Remainder.Os.h"
#include "Zyl.Platform.Win.h"

using namespace Zyl;
using System::TRef;

namespace {

// A spooler with the printers of the test: records every call, hands out
// memory contexts as printer contexts, and fails where told.
struct TFakeSpooler {
    std::vector<const wchar_t*> Printers;  // nil entries: records without a name
    std::u16string Default;
    LONG DevModeSize = sizeof(DEVMODEW);
    bool FetchFails = false;
    bool StartDocFails = false;
    int Opens = 0, Closes = 0;
    DEVMODEW Mode{};  // what CreateDC received
    bool HadMode = false;
    std::u16string Output;
    std::vector<std::string> Log;
};
TFakeSpooler Spooler;

void UseFakeSpooler() {
    Spooler = TFakeSpooler();
    TPrintCalls& calls = PrintCalls();
    calls.EnumPrinters = [](DWORD, LPWSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                            LPDWORD returned) -> BOOL {
        EXPECT_EQ(level, 5u);
        const DWORD bytes = DWORD(Spooler.Printers.size() * sizeof(PRINTER_INFO_5W));
        *needed = bytes;
        if (!buffer || size < bytes) return FALSE;
        auto* records = reinterpret_cast<PRINTER_INFO_5W*>(buffer);
        for (size_t i = 0; i < Spooler.Printers.size(); ++i) {
            records[i] = PRINTER_INFO_5W{};
            records[i].pPrinterName = const_cast<LPWSTR>(Spooler.Printers[i]);
        }
        *returned = DWORD(Spooler.Printers.size());
        return TRUE;
    };
    calls.GetDefaultPrinter = [](LPWSTR buffer, LPDWORD size) -> BOOL {
        if (Spooler.Default.empty()) return FALSE;
        const DWORD length = DWORD(Spooler.Default.size() + 1);
        if (!buffer || *size < length) {
            *size = length;
            return FALSE;
        }
        std::memcpy(buffer, Spooler.Default.c_str(), length * 2);
        return TRUE;
    };
    calls.OpenPrinter = [](LPWSTR, LPHANDLE printer, LPPRINTER_DEFAULTSW) -> BOOL {
        ++Spooler.Opens;
        *printer = reinterpret_cast<HANDLE>(0x77);
        return TRUE;
    };
    calls.ClosePrinter = [](HANDLE) -> BOOL { ++Spooler.Closes; return TRUE; };
    calls.DocumentProperties = [](HWND, HANDLE, LPWSTR, PDEVMODEW output, PDEVMODEW input, DWORD mode) -> LONG {
        if (mode == 0) return Spooler.DevModeSize;
        if (mode == DM_OUT_BUFFER) {
            if (Spooler.FetchFails) return -1;
            // The driver fills what it said it would.
            std::memset(output, 0x00, size_t(Spooler.DevModeSize));
            return IDOK;
        }
        EXPECT_EQ(input, output);
        return IDOK;
    };
    calls.CreateDC = [](LPCWSTR driver, LPCWSTR, LPCWSTR, const DEVMODEW* mode) -> HDC {
        EXPECT_EQ(System::FromWStr(driver), u"WINSPOOL");
        Spooler.HadMode = mode != nullptr;
        if (mode) Spooler.Mode = *mode;
        Spooler.Log.push_back("CreateDC");
        return CreateCompatibleDC(nullptr);
    };
    calls.StartDoc = [](HDC, const DOCINFOW* document) -> int {
        Spooler.Output = System::FromWStr(document->lpszOutput);
        Spooler.Log.push_back("StartDoc");
        return Spooler.StartDocFails ? 0 : 1;
    };
    calls.StartPage = [](HDC) { Spooler.Log.push_back("StartPage"); return 1; };
    calls.EndPage = [](HDC) { Spooler.Log.push_back("EndPage"); return 1; };
    calls.EndDoc = [](HDC) { Spooler.Log.push_back("EndDoc"); return 1; };
    calls.AbortDoc = [](HDC) { Spooler.Log.push_back("AbortDoc"); return 1; };
    calls.DeleteDC = [](HDC dc) -> BOOL { Spooler.Log.push_back("DeleteDC"); return DeleteDC(dc); };
    calls.GetDeviceCaps = [](HDC, int index) { return index * 10; };
}

class TPrintTest : public testing::Test {
protected:
    void SetUp() override { UseFakeSpooler(); }
    void TearDown() override { PrintCalls() = SystemPrintCalls(); }
};

} // namespace

TEST(PrinterList, TheRealSpoolerListsWhatItHas) {
    PrintCalls() = SystemPrintCalls();
    TWinPrinterList list;
    list.Refresh();
    if (list.Count() == 0) {
        EXPECT_EQ(list.DefaultIndex(), -1);
        EXPECT_EQ(list.StartJob(0, u"doc", false, 1, u""), nullptr);
    } else {
        EXPECT_TRUE(list.DefaultIndex() >= 0 && list.DefaultIndex() < list.Count());
    }
}

TEST_F(TPrintTest, DefaultIndexFollowsTheSpoolersDefaultOrTheFirstPrinter) {
    struct TCase {
        std::vector<const wchar_t*> Printers;
        std::u16string Default;
        std::vector<std::u16string> Names;
        int32_t DefaultIndex;
    };
    const TCase cases[] = {
        {{}, u"", {}, -1},
        {{L"A", L"B"}, u"B", {u"A", u"B"}, 1},
        {{L"A", L"B"}, u"Outra", {u"A", u"B"}, 0},
        {{L"A", nullptr, L"C"}, u"", {u"A", u"C"}, 0},
    };
    for (const TCase& c : cases) {
        UseFakeSpooler();
        Spooler.Printers = c.Printers;
        Spooler.Default = c.Default;
        TWinPrinterList list;
        list.Refresh();
        ASSERT_EQ(list.Count(), int32_t(c.Names.size()));
        for (size_t i = 0; i < c.Names.size(); ++i) EXPECT_EQ(list.PrinterName(int32_t(i)), c.Names[i]);
        EXPECT_EQ(list.DefaultIndex(), c.DefaultIndex);
        EXPECT_EQ(list.PrinterName(-1), u"");
        EXPECT_EQ(list.PrinterName(list.Count()), u"");
        EXPECT_EQ(list.StartJob(list.Count(), u"doc", false, 1, u""), nullptr);
    }
}

TEST_F(TPrintTest, SettingsCarryOrientationAndCopiesWhateverSizeTheDriverReports) {
    struct TCase {
        const char* Name;
        LONG Size;
        bool FetchFails;
        bool Landscape;
        int32_t Copies;
        bool HasMode;
        short Orientation, CopiesSet;
    };
    const TCase cases[] = {
        {"no settings", 0, false, false, 1, false, 0, 0},
        {"fetch fails", LONG(sizeof(DEVMODEW)), true, false, 1, false, 0, 0},
        {"driver reports a small record", 8, false, true, 3, true, DMORIENT_LANDSCAPE, 3},
        {"copies 0", LONG(sizeof(DEVMODEW)), false, false, 0, true, DMORIENT_PORTRAIT, 1},
        {"copies 1", LONG(sizeof(DEVMODEW)) + 100, false, false, 1, true, DMORIENT_PORTRAIT, 1},
        {"copies 3, landscape", LONG(sizeof(DEVMODEW)), false, true, 3, true, DMORIENT_LANDSCAPE, 3},
    };
    for (const TCase& c : cases) {
        UseFakeSpooler();
        Spooler.DevModeSize = c.Size;
        Spooler.FetchFails = c.FetchFails;
        TRef<TWinPrintJob> job = CreateWinPrintJob(u"P", u"doc", c.Landscape, c.Copies, u"");
        ASSERT_NE(job, nullptr) << c.Name;
        EXPECT_EQ(Spooler.Opens, 1) << c.Name;
        EXPECT_EQ(Spooler.Closes, 1) << c.Name;
        EXPECT_EQ(Spooler.HadMode, c.HasMode) << c.Name;
        if (c.HasMode) {
            EXPECT_EQ(Spooler.Mode.dmFields & (DM_ORIENTATION | DM_COPIES), DWORD(DM_ORIENTATION | DM_COPIES));
            EXPECT_EQ(Spooler.Mode.dmOrientation, c.Orientation) << c.Name;
            EXPECT_EQ(Spooler.Mode.dmCopies, c.CopiesSet) << c.Name;
        }
    }
}

TEST_F(TPrintTest, AJobReadsItsPageAndGoesToItsOutputFile) {
    TRef<TWinPrintJob> job = CreateWinPrintJob(u"P", u"doc", false, 1, u"C:\\saida.prn");
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(Spooler.Output, u"C:\\saida.prn");
    EXPECT_EQ(job->PageWidth(), HORZRES * 10);
    EXPECT_EQ(job->PageHeight(), VERTRES * 10);
    EXPECT_EQ(job->DpiX(), LOGPIXELSX * 10);
    EXPECT_EQ(job->DpiY(), LOGPIXELSY * 10);
    EXPECT_EQ(job->PhysicalWidth(), PHYSICALWIDTH * 10);
    EXPECT_EQ(job->PhysicalHeight(), PHYSICALHEIGHT * 10);
    EXPECT_EQ(job->PhysicalOffsetX(), PHYSICALOFFSETX * 10);
    EXPECT_EQ(job->PhysicalOffsetY(), PHYSICALOFFSETY * 10);
    TRef<TWinPrintJob> toPrinter = CreateWinPrintJob(u"P", u"doc", false, 1, u"");
    EXPECT_EQ(Spooler.Output, u"");

    Spooler.StartDocFails = true;
    Spooler.Log.clear();
    EXPECT_EQ(CreateWinPrintJob(u"P", u"doc", false, 1, u""), nullptr);
    EXPECT_EQ(Spooler.Log, (std::vector<std::string>{"CreateDC", "StartDoc", "DeleteDC"}));
}

TEST_F(TPrintTest, JobStatesAsCallSequences) {
    struct TCase {
        const char* Steps;  // B BeginPage, E EndPage, J EndJob, A Abort, then the job is released
        std::vector<std::string> Calls;
        const char* PagesMade;  // per B: 1 a canvas, 0 nil
    };
    const TCase cases[] = {
        {"", {"AbortDoc", "DeleteDC"}, ""},
        {"E", {"AbortDoc", "DeleteDC"}, ""},
        {"BE", {"StartPage", "EndPage", "AbortDoc", "DeleteDC"}, "1"},
        {"BB", {"StartPage", "StartPage", "AbortDoc", "DeleteDC"}, "11"},
        {"BJ", {"StartPage", "EndPage", "EndDoc", "DeleteDC"}, "1"},
        {"JJ", {"EndDoc", "DeleteDC"}, ""},
        {"JAB", {"EndDoc", "DeleteDC"}, "0"},
        {"BAB", {"StartPage", "AbortDoc", "DeleteDC"}, "10"},
        {"BAE", {"StartPage", "AbortDoc", "DeleteDC"}, "1"},
    };
    for (const TCase& c : cases) {
        UseFakeSpooler();
        TRef<TWinPrintJob> job = CreateWinPrintJob(u"P", u"doc", false, 1, u"");
        ASSERT_NE(job, nullptr);
        Spooler.Log.clear();
        std::string pages;
        for (const char* step = c.Steps; *step; ++step) {
            switch (*step) {
                case 'B': pages += job->BeginPage() ? '1' : '0'; break;
                case 'E': job->EndPage(); break;
                case 'J': job->EndJob(); break;
                case 'A': job->Abort(); break;
            }
        }
        job = nullptr;
        EXPECT_EQ(Spooler.Log, c.Calls) << c.Steps;
        EXPECT_EQ(pages, c.PagesMade) << c.Steps;
    }
}

TEST_F(TPrintTest, APageCanvasKeepsItsJobAndContextAlive) {
    TRef<TWinPrintJob> job = CreateWinPrintJob(u"P", u"doc", false, 1, u"");
    TRef<TPlatformCanvas> page = job->BeginPage();
    ASSERT_NE(page, nullptr);
    Spooler.Log.clear();
    job = nullptr;
    EXPECT_TRUE(Spooler.Log.empty()) << "the context lives while the page canvas does";
    page->SetPen(0xFF, 1, 0);
    page->MoveTo(0, 0);
    page->LineTo(5, 5);
    page = nullptr;
    EXPECT_EQ(Spooler.Log, (std::vector<std::string>{"AbortDoc", "DeleteDC"}));
}
