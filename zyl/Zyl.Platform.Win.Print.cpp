// Printing: the spooler's printer list and documents on printer contexts.
#include <windows.h>

#include "Zyl.Platform.Win.Api.h"
#include "Zyl.Platform.Win.h"

#include <winspool.h>

#include <algorithm>
#include <memory>

namespace Zyl {

namespace {

using namespace WinApi;
using System::TLazyProc;

TLazyProc<decltype(&::EnumPrintersW)> pEnumPrintersW{u"winspool.drv", "EnumPrintersW"};
TLazyProc<decltype(&::GetDefaultPrinterW)> pGetDefaultPrinterW{u"winspool.drv", "GetDefaultPrinterW"};
TLazyProc<decltype(&::OpenPrinterW)> pOpenPrinterW{u"winspool.drv", "OpenPrinterW"};
TLazyProc<decltype(&::ClosePrinter)> pClosePrinter{u"winspool.drv", "ClosePrinter"};
TLazyProc<decltype(&::DocumentPropertiesW)> pDocumentPropertiesW{u"winspool.drv", "DocumentPropertiesW"};

static_assert(sizeof(DOCINFOW) == 40);

// An open printer, closed when the holder goes.
class TPrinterHandle {
public:
    explicit TPrinterHandle(const std::u16string& Name) {
        std::u16string name = Name;
        if (!PrintCalls().OpenPrinter(reinterpret_cast<LPWSTR>(name.data()), &handle_, nullptr)) handle_ = nullptr;
    }
    ~TPrinterHandle() {
        if (handle_) PrintCalls().ClosePrinter(handle_);
    }
    TPrinterHandle(const TPrinterHandle&) = delete;
    TPrinterHandle& operator=(const TPrinterHandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

// The printer's current settings with the orientation and copies applied;
// empty when the driver gives none. At least a whole DEVMODEW, zeroed, so
// the fields written here are inside it whatever size the driver reports.
std::vector<uint8_t> PrinterSettings(const std::u16string& Name, bool Landscape, int32_t Copies) {
    const TPrinterHandle printer(Name);
    if (!printer.Get()) return {};
    std::u16string name = Name;
    const LPWSTR wname = reinterpret_cast<LPWSTR>(name.data());
    const LONG size = PrintCalls().DocumentProperties(nullptr, printer.Get(), wname, nullptr, nullptr, 0);
    if (size <= 0) return {};
    std::vector<uint8_t> buffer(std::max<size_t>(size_t(size), sizeof(DEVMODEW)), 0);
    auto* mode = reinterpret_cast<DEVMODEW*>(buffer.data());
    if (PrintCalls().DocumentProperties(nullptr, printer.Get(), wname, mode, nullptr, DM_OUT_BUFFER) < 0) return {};
    mode->dmFields |= DM_ORIENTATION | DM_COPIES;
    mode->dmOrientation = Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    mode->dmCopies = short(Copies >= 2 ? Copies : 1);
    PrintCalls().DocumentProperties(nullptr, printer.Get(), wname, mode, mode, DM_IN_BUFFER | DM_OUT_BUFFER);
    return buffer;
}

} // namespace

TPrintCalls SystemPrintCalls() {
    return {
        [](DWORD flags, LPWSTR server, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return pEnumPrintersW()(flags, server, level, buffer, size, needed, returned);
        },
        [](LPWSTR buffer, LPDWORD size) { return pGetDefaultPrinterW()(buffer, size); },
        [](LPWSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults) {
            return pOpenPrinterW()(name, printer, defaults);
        },
        [](HANDLE printer) { return pClosePrinter()(printer); },
        [](HWND window, HANDLE printer, LPWSTR name, PDEVMODEW output, PDEVMODEW input, DWORD mode) {
            return pDocumentPropertiesW()(window, printer, name, output, input, mode);
        },
        [](LPCWSTR driver, LPCWSTR device, LPCWSTR port, const DEVMODEW* mode) {
            return pCreateDCW()(driver, device, port, mode);
        },
        [](HDC dc, const DOCINFOW* document) { return pStartDocW()(dc, document); },
        [](HDC dc) { return pStartPage()(dc); },
        [](HDC dc) { return pEndPage()(dc); },
        [](HDC dc) { return pEndDoc()(dc); },
        [](HDC dc) { return pAbortDoc()(dc); },
        [](HDC dc) { return pDeleteDC()(dc); },
        [](HDC dc, int index) { return pGetDeviceCaps()(dc, index); },
    };
}

TPrintCalls& PrintCalls() {
    static TPrintCalls calls = SystemPrintCalls();
    return calls;
}

void EnumPrinterNames(std::vector<std::u16string>& Names, std::u16string& DefaultName) {
    Names.clear();
    DefaultName.clear();
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, returned = 0;
    PrintCalls().EnumPrinters(flags, nullptr, 5, nullptr, 0, &needed, &returned);
    if (needed) {
        // Aligned for the records at its start.
        std::vector<PRINTER_INFO_5W> buffer(needed / sizeof(PRINTER_INFO_5W) + 1);
        const DWORD size = DWORD(buffer.size() * sizeof(PRINTER_INFO_5W));
        if (PrintCalls().EnumPrinters(flags, nullptr, 5, reinterpret_cast<LPBYTE>(buffer.data()), size, &needed,
                                      &returned)) {
            const DWORD records = std::min<DWORD>(returned, DWORD(buffer.size()));
            for (DWORD i = 0; i < records; ++i)
                if (buffer[i].pPrinterName) Names.push_back(System::FromWStr(buffer[i].pPrinterName));
        }
    }
    DWORD length = 0;
    PrintCalls().GetDefaultPrinter(nullptr, &length);
    if (length > 1) {
        std::vector<wchar_t> name(length, 0);
        DWORD size = length;
        if (PrintCalls().GetDefaultPrinter(name.data(), &size))
            DefaultName.assign(reinterpret_cast<const char16_t*>(name.data()), length - 1);
    }
}

// --- Jobs --------------------------------------------------------------------------

TRef<TWinPrintJob> CreateWinPrintJob(const std::u16string& PrinterName, const std::u16string& DocumentName,
                                     bool Landscape, int32_t Copies, const std::u16string& OutputFile) {
    TRef<TWinPrintJob> job = System::MakeRef<TWinPrintJob>();
    job->OpenPrinterDC(PrinterName, DocumentName, Landscape, Copies, OutputFile);
    return job->dc_ ? job : nullptr;
}

void TWinPrintJob::OpenPrinterDC(const std::u16string& PrinterName, const std::u16string& DocumentName,
                                 bool Landscape, int32_t Copies, const std::u16string& OutputFile) {
    const std::vector<uint8_t> settings = PrinterSettings(PrinterName, Landscape, Copies);
    const auto* mode = settings.empty() ? nullptr : reinterpret_cast<const DEVMODEW*>(settings.data());
    dc_ = PrintCalls().CreateDC(L"WINSPOOL", System::WStr(PrinterName), nullptr, mode);
    if (!dc_) return;
    DOCINFOW document{};
    document.cbSize = sizeof document;
    document.lpszDocName = System::WStr(DocumentName);
    if (!OutputFile.empty()) document.lpszOutput = System::WStr(OutputFile);
    if (PrintCalls().StartDoc(dc_, &document) <= 0) {
        PrintCalls().DeleteDC(dc_);
        dc_ = nullptr;
        return;
    }
    const auto caps = [this](int index) { return PrintCalls().GetDeviceCaps(dc_, index); };
    pageWidth_ = caps(HORZRES);
    pageHeight_ = caps(VERTRES);
    dpiX_ = caps(LOGPIXELSX);
    dpiY_ = caps(LOGPIXELSY);
    physicalWidth_ = caps(PHYSICALWIDTH);
    physicalHeight_ = caps(PHYSICALHEIGHT);
    physicalOffsetX_ = caps(PHYSICALOFFSETX);
    physicalOffsetY_ = caps(PHYSICALOFFSETY);
}

TWinPrintJob::~TWinPrintJob() {
    if (!dc_) return;
    if (!finished_) PrintCalls().AbortDoc(dc_);
    PrintCalls().DeleteDC(dc_);
}

TRef<TPlatformCanvas> TWinPrintJob::BeginPage() {
    if (!dc_ || finished_) return nullptr;
    PrintCalls().StartPage(dc_);
    pageOpen_ = true;
    return System::MakeRef<TWinCanvas>(dc_, nullptr, this);
}

void TWinPrintJob::EndPage() {
    if (dc_ && pageOpen_) PrintCalls().EndPage(dc_);
    pageOpen_ = false;
}

void TWinPrintJob::EndJob() {
    if (!dc_ || finished_) return;
    if (pageOpen_) {
        PrintCalls().EndPage(dc_);
        pageOpen_ = false;
    }
    PrintCalls().EndDoc(dc_);
    finished_ = true;
}

void TWinPrintJob::Abort() {
    if (!dc_ || finished_) return;
    PrintCalls().AbortDoc(dc_);
    pageOpen_ = false;
    finished_ = true;
}

// --- Printer list ------------------------------------------------------------------

void TWinPrinterList::Refresh() {
    std::u16string defaultName;
    EnumPrinterNames(names_, defaultName);
    const auto found = std::find(names_.begin(), names_.end(), defaultName);
    defaultIndex_ = found != names_.end() ? int32_t(found - names_.begin()) : names_.empty() ? -1 : 0;
}

std::u16string TWinPrinterList::PrinterName(int32_t Index) const {
    return Index >= 0 && Index < Count() ? names_[size_t(Index)] : std::u16string();
}

TRef<TWinPrintJob> TWinPrinterList::StartJob(int32_t Index, const std::u16string& DocumentName, bool Landscape,
                                             int32_t Copies, const std::u16string& OutputFile) const {
    if (Index < 0 || Index >= Count()) return nullptr;
    return CreateWinPrintJob(names_[size_t(Index)], DocumentName, Landscape, Copies, OutputFile);
}

} // namespace Zyl
