#include "Zyl.Platform.h"

#include <algorithm>

#include <cstring>
#include <utility>

namespace Zyl {

namespace {

TRef<TPlatformServices>& InstalledServices() {
    static TRef<TPlatformServices> services;
    return services;
}

constexpr const char16_t* kApp = u"TPlatformApp";
constexpr const char16_t* kWindow = u"TPlatformWindow";
constexpr const char16_t* kMenu = u"TPlatformMenu";
constexpr const char16_t* kControl = u"TPlatformControl";
constexpr const char16_t* kCanvas = u"TPlatformCanvas";
constexpr const char16_t* kSurface = u"TPlatformSurface";
constexpr const char16_t* kServices = u"TPlatformServices";
constexpr const char16_t* kPrintJob = u"TPlatformPrintJob";

} // namespace

void RaiseAbstractError(const char16_t* className, const char16_t* methodName) {
    throw System::EAbstractError(className, methodName);
}

TPlatformServices* CurrentPlatformServices() {
    return InstalledServices().Get();
}

void SetCurrentPlatformServices(TRef<TPlatformServices> Services) {
    InstalledServices() = std::move(Services);
}

TRef<TPlatformSurface> CopySurface(TPlatformSurface* Source) {
    TPlatformServices* services = CurrentPlatformServices();
    if (!services) return nullptr;
    const int32_t width = Source->Width();
    const int32_t height = Source->Height();
    TRef<TPlatformSurface> copy = services->CreateSurface(width, height, Source->HasAlpha());
    if (!copy) return nullptr;
    const uint8_t* from = Source->Bits();
    uint8_t* to = copy->Bits();
    // A surface whose pixels could not be made (a failed DIB section) has
    // none to reach: the copy keeps its own.
    if (from && to && width > 0) {
        const size_t rowBytes = size_t(width) * 4;
        const ptrdiff_t fromStride = Source->Stride();
        const ptrdiff_t toStride = copy->Stride();
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(to + y * toStride, from + y * fromStride, rowBytes);
    }
    copy->FinishDrawing();
    return copy;
}

// --- TPlatformApp ---------------------------------------------------------

void TPlatformApp::SetExceptionHandler(TPlatformExceptionHandler Handler) {
    ExceptionHandler = std::move(Handler);
}

int32_t TPlatformApp::HandleException(const System::Exception& E) {
    return ExceptionHandler ? ExceptionHandler(E) : 0;
}

void TPlatformApp::ClearClipboard() {
    ClipboardText.clear();
    ClipboardImage = nullptr;
}

TRef<TPlatformSurface> TPlatformApp::GetClipboardImage() {
    return ClipboardImage ? CopySurface(ClipboardImage.Get()) : nullptr;
}

void TPlatformApp::SetClipboardImage(TPlatformSurface* Surface) {
    // The copy is made before the stored image goes: Surface may be that
    // image itself, or a copy handed out that only it keeps alive.
    ClipboardImage = Surface ? CopySurface(Surface) : nullptr;
}

void TPlatformApp::GetWorkArea(int32_t X, int32_t Y, int32_t& Left, int32_t& Top, int32_t& Right,
                               int32_t& Bottom) {
    (void)X, (void)Y;
    Left = 0;
    Top = 0;
    Right = ScreenWidth();
    Bottom = ScreenHeight();
}

bool TPlatformApp::FileDialogEx(TPlatformWindow* Owner, const std::u16string& Title, bool Save,
                                const std::u16string& FileName, const std::u16string& InitialDir,
                                const std::u16string& Filter, const std::u16string& DefaultExt,
                                int32_t& FilterIndex, std::u16string& Result) {
    (void)Filter, (void)DefaultExt, (void)FilterIndex;
    return FileDialog(Owner, Title, Save, FileName.empty() ? InitialDir : FileName, Result);
}

bool TPlatformApp::RunFileDialog(TPlatformWindow* Owner, const std::u16string& Title, int32_t Kind,
                                 int32_t Options, const std::u16string& FileName,
                                 const std::u16string& InitialDir, const std::u16string& Filter,
                                 const std::u16string& DefaultExt, int32_t& FilterIndex,
                                 std::u16string& Result) {
    (void)Options;
    if (Kind == FileDialogFolder) return false;
    return FileDialogEx(Owner, Title, Kind == FileDialogSave, FileName, InitialDir, Filter, DefaultExt,
                        FilterIndex, Result);
}

TRef<TPlatformControl> TPlatformApp::CreateScrollBar() { return nullptr; }
TRef<TPlatformTrayIcon> TPlatformApp::CreateTrayIcon() { return nullptr; }

TRef<TPlatformPrintJob> TPlatformApp::BeginPrintJob(int32_t PrinterIndex, const std::u16string& Title,
                                                    bool Landscape, int32_t Copies,
                                                    const std::u16string& OutputFile) {
    (void)PrinterIndex, (void)Title, (void)Landscape, (void)Copies, (void)OutputFile;
    return nullptr;
}

void TPlatformApp::Run() { RaiseAbstractError(kApp, u"Run"); }
void TPlatformApp::Quit() { RaiseAbstractError(kApp, u"Quit"); }
int32_t TPlatformApp::AddTimer(int32_t, TPlatformTimerCallback) { RaiseAbstractError(kApp, u"AddTimer"); }
void TPlatformApp::RemoveTimer(int32_t) { RaiseAbstractError(kApp, u"RemoveTimer"); }
void TPlatformApp::ProcessMessages() { RaiseAbstractError(kApp, u"ProcessMessages"); }
TRef<TPlatformWindow> TPlatformApp::CreateWindow() { RaiseAbstractError(kApp, u"CreateWindow"); }
TRef<TPlatformControl> TPlatformApp::CreateCustomControl() { RaiseAbstractError(kApp, u"CreateCustomControl"); }
TRef<TPlatformControl> TPlatformApp::CreateButton() { RaiseAbstractError(kApp, u"CreateButton"); }
TRef<TPlatformControl> TPlatformApp::CreateEdit() { RaiseAbstractError(kApp, u"CreateEdit"); }
TRef<TPlatformControl> TPlatformApp::CreateCheckBox() { RaiseAbstractError(kApp, u"CreateCheckBox"); }
TRef<TPlatformControl> TPlatformApp::CreateMemo() { RaiseAbstractError(kApp, u"CreateMemo"); }
TRef<TPlatformControl> TPlatformApp::CreateListBox() { RaiseAbstractError(kApp, u"CreateListBox"); }
TRef<TPlatformControl> TPlatformApp::CreateComboBox() { RaiseAbstractError(kApp, u"CreateComboBox"); }
TRef<TPlatformControl> TPlatformApp::CreateTabControl() { RaiseAbstractError(kApp, u"CreateTabControl"); }
TRef<TPlatformControl> TPlatformApp::CreateListView() { RaiseAbstractError(kApp, u"CreateListView"); }
TRef<TPlatformControl> TPlatformApp::CreateTreeView() { RaiseAbstractError(kApp, u"CreateTreeView"); }
TRef<TPlatformControl> TPlatformApp::CreateStatusBar() { RaiseAbstractError(kApp, u"CreateStatusBar"); }
TRef<TPlatformControl> TPlatformApp::CreateToolBar() { RaiseAbstractError(kApp, u"CreateToolBar"); }
TRef<TPlatformMenu> TPlatformApp::CreateMenu(bool) { RaiseAbstractError(kApp, u"CreateMenu"); }
int32_t TPlatformApp::MessageBox(TPlatformWindow*, const std::u16string&, const std::u16string&, int32_t,
                                 int32_t) {
    RaiseAbstractError(kApp, u"MessageBox");
}
bool TPlatformApp::FileDialog(TPlatformWindow*, const std::u16string&, bool, const std::u16string&,
                              std::u16string&) {
    RaiseAbstractError(kApp, u"FileDialog");
}
bool TPlatformApp::ColorDialog(TPlatformWindow*, void*, int32_t&) { RaiseAbstractError(kApp, u"ColorDialog"); }
bool TPlatformApp::FontDialog(TPlatformWindow*, void*, std::u16string&, int32_t&, int32_t&) {
    RaiseAbstractError(kApp, u"FontDialog");
}

// --- TPlatformWindow ------------------------------------------------------

void TPlatformWindow::SetTitle(const std::u16string&) { RaiseAbstractError(kWindow, u"SetTitle"); }
void TPlatformWindow::SetSize(int32_t, int32_t) { RaiseAbstractError(kWindow, u"SetSize"); }
void TPlatformWindow::Show() { RaiseAbstractError(kWindow, u"Show"); }
void TPlatformWindow::Hide() { RaiseAbstractError(kWindow, u"Hide"); }
void TPlatformWindow::Invalidate() { RaiseAbstractError(kWindow, u"Invalidate"); }
void TPlatformWindow::AddChild(TPlatformControl*, int32_t, int32_t) { RaiseAbstractError(kWindow, u"AddChild"); }
void TPlatformWindow::SetMainMenu(TPlatformMenu*) { RaiseAbstractError(kWindow, u"SetMainMenu"); }

// --- TPlatformMenu --------------------------------------------------------

void TPlatformMenu::AddItem(int32_t, const std::u16string&, int32_t) { RaiseAbstractError(kMenu, u"AddItem"); }
void TPlatformMenu::AddCheckItem(int32_t, const std::u16string&, int32_t) {
    RaiseAbstractError(kMenu, u"AddCheckItem");
}
void TPlatformMenu::AddSeparator(int32_t) { RaiseAbstractError(kMenu, u"AddSeparator"); }
void TPlatformMenu::SetItemEnabled(int32_t, bool) { RaiseAbstractError(kMenu, u"SetItemEnabled"); }
void TPlatformMenu::SetItemChecked(int32_t, bool) { RaiseAbstractError(kMenu, u"SetItemChecked"); }
bool TPlatformMenu::GetItemChecked(int32_t) { RaiseAbstractError(kMenu, u"GetItemChecked"); }
void TPlatformMenu::Popup() { RaiseAbstractError(kMenu, u"Popup"); }

// --- TPlatformControl -----------------------------------------------------

void TPlatformControl::SetBounds(int32_t, int32_t, int32_t, int32_t) { RaiseAbstractError(kControl, u"SetBounds"); }
void TPlatformControl::GetBounds(int32_t&, int32_t&, int32_t&, int32_t&) {
    RaiseAbstractError(kControl, u"GetBounds");
}
void TPlatformControl::SetVisible(bool) { RaiseAbstractError(kControl, u"SetVisible"); }
void TPlatformControl::SetEnabled(bool) { RaiseAbstractError(kControl, u"SetEnabled"); }
void TPlatformControl::SetFocus() { RaiseAbstractError(kControl, u"SetFocus"); }
void TPlatformControl::Invalidate() { RaiseAbstractError(kControl, u"Invalidate"); }
void TPlatformControl::AddChild(TPlatformControl*, int32_t, int32_t) { RaiseAbstractError(kControl, u"AddChild"); }

// --- TPlatformCanvas ------------------------------------------------------

void TPlatformCanvas::Save() { RaiseAbstractError(kCanvas, u"Save"); }
void TPlatformCanvas::Restore() { RaiseAbstractError(kCanvas, u"Restore"); }
void TPlatformCanvas::SetPen(int32_t, int32_t, int32_t) { RaiseAbstractError(kCanvas, u"SetPen"); }
void TPlatformCanvas::SetBrush(int32_t, int32_t) { RaiseAbstractError(kCanvas, u"SetBrush"); }
void TPlatformCanvas::SetFont(const std::u16string&, int32_t, int32_t, int32_t) {
    RaiseAbstractError(kCanvas, u"SetFont");
}
void TPlatformCanvas::SetBackground(int32_t, bool) { RaiseAbstractError(kCanvas, u"SetBackground"); }
void TPlatformCanvas::SetRop2(int32_t) { RaiseAbstractError(kCanvas, u"SetRop2"); }
void TPlatformCanvas::SetOrigin(int32_t, int32_t) { RaiseAbstractError(kCanvas, u"SetOrigin"); }
void TPlatformCanvas::GetOrigin(int32_t&, int32_t&) { RaiseAbstractError(kCanvas, u"GetOrigin"); }
void TPlatformCanvas::ClipRect(int32_t, int32_t, int32_t, int32_t) { RaiseAbstractError(kCanvas, u"ClipRect"); }
void TPlatformCanvas::ClipExclude(int32_t, int32_t, int32_t, int32_t) {
    RaiseAbstractError(kCanvas, u"ClipExclude");
}
void TPlatformCanvas::ResetClip() { RaiseAbstractError(kCanvas, u"ResetClip"); }
bool TPlatformCanvas::GetClipBox(int32_t&, int32_t&, int32_t&, int32_t&) {
    RaiseAbstractError(kCanvas, u"GetClipBox");
}
void TPlatformCanvas::LineTo(int32_t, int32_t) { RaiseAbstractError(kCanvas, u"LineTo"); }
void TPlatformCanvas::Rectangle(int32_t, int32_t, int32_t, int32_t) { RaiseAbstractError(kCanvas, u"Rectangle"); }
void TPlatformCanvas::RoundRect(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    RaiseAbstractError(kCanvas, u"RoundRect");
}
void TPlatformCanvas::Ellipse(int32_t, int32_t, int32_t, int32_t) { RaiseAbstractError(kCanvas, u"Ellipse"); }
void TPlatformCanvas::Arc(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    RaiseAbstractError(kCanvas, u"Arc");
}
void TPlatformCanvas::Chord(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    RaiseAbstractError(kCanvas, u"Chord");
}
void TPlatformCanvas::Pie(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    RaiseAbstractError(kCanvas, u"Pie");
}
int32_t UsablePointCount(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex) {
    if (!Points || PointCount <= 0) return 0;
    return int32_t(std::clamp<int64_t>(int64_t(LastIndex) + 1, 0, PointCount));
}

void TPlatformCanvas::Polyline(const TPlatformPoint*, int32_t, int32_t) { RaiseAbstractError(kCanvas, u"Polyline"); }
void TPlatformCanvas::Polygon(const TPlatformPoint*, int32_t, int32_t, bool) { RaiseAbstractError(kCanvas, u"Polygon"); }
void TPlatformCanvas::PolyBezier(const TPlatformPoint*, int32_t, int32_t) { RaiseAbstractError(kCanvas, u"PolyBezier"); }
void TPlatformCanvas::FillRect(int32_t, int32_t, int32_t, int32_t, int32_t) {
    RaiseAbstractError(kCanvas, u"FillRect");
}
void TPlatformCanvas::FillRectBrush(int32_t, int32_t, int32_t, int32_t) {
    RaiseAbstractError(kCanvas, u"FillRectBrush");
}
void TPlatformCanvas::FrameRect(int32_t, int32_t, int32_t, int32_t) { RaiseAbstractError(kCanvas, u"FrameRect"); }
void TPlatformCanvas::DrawFocusRect(int32_t, int32_t, int32_t, int32_t) {
    RaiseAbstractError(kCanvas, u"DrawFocusRect");
}
void TPlatformCanvas::SetPixel(int32_t, int32_t, int32_t) { RaiseAbstractError(kCanvas, u"SetPixel"); }
int32_t TPlatformCanvas::GetPixel(int32_t, int32_t) { RaiseAbstractError(kCanvas, u"GetPixel"); }
void TPlatformCanvas::FloodFill(int32_t, int32_t, int32_t, bool) { RaiseAbstractError(kCanvas, u"FloodFill"); }
void TPlatformCanvas::TextOut(int32_t, int32_t, const std::u16string&) { RaiseAbstractError(kCanvas, u"TextOut"); }
void TPlatformCanvas::TextRect(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, const std::u16string&, bool) {
    RaiseAbstractError(kCanvas, u"TextRect");
}
void TPlatformCanvas::TextExtent(const std::u16string&, int32_t&, int32_t&) {
    RaiseAbstractError(kCanvas, u"TextExtent");
}
void TPlatformCanvas::FontMetrics(int32_t&, int32_t&, int32_t&, int32_t&, int32_t&, int32_t&, int32_t&) {
    RaiseAbstractError(kCanvas, u"FontMetrics");
}
void TPlatformCanvas::DrawSurfaceEx(TPlatformSurface*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                    int32_t, int32_t, int32_t, int32_t, bool) {
    RaiseAbstractError(kCanvas, u"DrawSurfaceEx");
}
void TPlatformCanvas::DrawSurfaceTransparent(TPlatformSurface*, int32_t, int32_t, int32_t, int32_t, int32_t,
                                             int32_t, int32_t, int32_t, int32_t) {
    RaiseAbstractError(kCanvas, u"DrawSurfaceTransparent");
}

// --- TPlatformSurface -----------------------------------------------------

int32_t TPlatformSurface::Width() { RaiseAbstractError(kSurface, u"Width"); }
int32_t TPlatformSurface::Height() { RaiseAbstractError(kSurface, u"Height"); }
bool TPlatformSurface::HasAlpha() { RaiseAbstractError(kSurface, u"HasAlpha"); }
TRef<TPlatformCanvas> TPlatformSurface::CreateCanvas() { RaiseAbstractError(kSurface, u"CreateCanvas"); }
uint8_t* TPlatformSurface::Bits() { RaiseAbstractError(kSurface, u"Bits"); }
int32_t TPlatformSurface::Stride() { RaiseAbstractError(kSurface, u"Stride"); }
TRef<TPlatformSurface> TPlatformSurface::CreateCompatible(int32_t, int32_t, bool) {
    RaiseAbstractError(kSurface, u"CreateCompatible");
}
bool TPlatformSurface::SaveToPng(const std::u16string&) { RaiseAbstractError(kSurface, u"SaveToPng"); }
int32_t TPlatformSurface::PixelAt(int32_t, int32_t) { RaiseAbstractError(kSurface, u"PixelAt"); }
int32_t TPlatformSurface::AlphaAt(int32_t, int32_t) { RaiseAbstractError(kSurface, u"AlphaAt"); }
void* TPlatformSurface::NativeHandle() { RaiseAbstractError(kSurface, u"NativeHandle"); }

// --- TPlatformServices ----------------------------------------------------

TRef<TPlatformSurface> TPlatformServices::CreateSurface(int32_t, int32_t, bool) {
    RaiseAbstractError(kServices, u"CreateSurface");
}
TRef<TPlatformSurface> TPlatformServices::LoadPngFile(const std::u16string&) {
    RaiseAbstractError(kServices, u"LoadPngFile");
}
TRef<TPlatformSurface> TPlatformServices::LoadPngMemory(const uint8_t*, int32_t) {
    RaiseAbstractError(kServices, u"LoadPngMemory");
}
System::TBytes TPlatformServices::SavePngMemory(TPlatformSurface*) { RaiseAbstractError(kServices, u"SavePngMemory"); }

// --- TPlatformPrintJob ----------------------------------------------------

int32_t TPlatformPrintJob::PageWidth() { RaiseAbstractError(kPrintJob, u"PageWidth"); }
int32_t TPlatformPrintJob::PageHeight() { RaiseAbstractError(kPrintJob, u"PageHeight"); }
int32_t TPlatformPrintJob::DpiX() { RaiseAbstractError(kPrintJob, u"DpiX"); }
int32_t TPlatformPrintJob::DpiY() { RaiseAbstractError(kPrintJob, u"DpiY"); }
TRef<TPlatformCanvas> TPlatformPrintJob::BeginPage() { RaiseAbstractError(kPrintJob, u"BeginPage"); }
void TPlatformPrintJob::EndPage() { RaiseAbstractError(kPrintJob, u"EndPage"); }
void TPlatformPrintJob::EndJob() { RaiseAbstractError(kPrintJob, u"EndJob"); }
void TPlatformPrintJob::Abort() { RaiseAbstractError(kPrintJob, u"Abort"); }

} // namespace Zyl
