// The "gdi" canvas backend: a canvas on a Windows device context, surfaces
// that are 32-bit DIB sections in a memory device context, and the services
// that make them.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winspool.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Zyl.Platform.h"

namespace Zyl {

class TWinSurface;

// Draws with GDI on a device context it does not own: a surface's memory
// context or a printer page. Pens, brushes and fonts it creates are its own
// and are deleted when replaced (unless a saved state still holds them) or
// when the canvas goes.
class TWinCanvas : public TPlatformCanvas {
public:
    // Surface (may be nil) is the surface whose memory context DC is; Keeper
    // (may be nil) is whatever else owns DC, kept alive while the canvas is.
    TWinCanvas(HDC DC, TWinSurface* Surface, System::TObject* Keeper = nullptr);
    ~TWinCanvas() override;

    void Save() override;
    void Restore() override;
    void SetPen(int32_t Color, int32_t Width, int32_t Style) override;
    void SetBrush(int32_t Color, int32_t Style) override;
    void SetFont(const std::u16string& Name, int32_t Height, int32_t Style, int32_t Color) override;
    void SetBackground(int32_t Color, bool Transparent) override;
    void SetRop2(int32_t Mode) override;
    void SetOrigin(int32_t X, int32_t Y) override;
    void GetOrigin(int32_t& X, int32_t& Y) override;
    void ClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void ClipExclude(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void ResetClip() override;
    bool GetClipBox(int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom) override;
    void MoveTo(int32_t X, int32_t Y) override;
    void LineTo(int32_t X, int32_t Y) override;
    void Rectangle(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void RoundRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t CornerWidth,
                   int32_t CornerHeight) override;
    void Ellipse(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void Arc(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1, int32_t X2,
             int32_t Y2) override;
    void Chord(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1, int32_t X2,
               int32_t Y2) override;
    void Pie(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1, int32_t X2,
             int32_t Y2) override;
    void Polyline(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex) override;
    void Polygon(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex, bool Winding) override;
    void PolyBezier(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex) override;
    void FillRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Color) override;
    void FillRectBrush(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void FrameRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void DrawFocusRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void SetPixel(int32_t X, int32_t Y, int32_t Color) override;
    int32_t GetPixel(int32_t X, int32_t Y) override;
    void FloodFill(int32_t X, int32_t Y, int32_t Color, bool ToBorder) override;
    void TextOut(int32_t X, int32_t Y, const std::u16string& Text) override;
    void TextRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X, int32_t Y,
                  const std::u16string& Text, bool Opaque) override;
    void TextExtent(const std::u16string& Text, int32_t& Width, int32_t& Height) override;
    void FontMetrics(int32_t& Height, int32_t& Ascent, int32_t& Descent, int32_t& InternalLeading,
                     int32_t& ExternalLeading, int32_t& AveCharWidth, int32_t& MaxCharWidth) override;
    // A source that is not a TWinSurface, or one without pixels, draws nothing.
    void DrawSurfaceEx(TPlatformSurface* Surface, int32_t SrcLeft, int32_t SrcTop, int32_t SrcRight,
                       int32_t SrcBottom, int32_t DstLeft, int32_t DstTop, int32_t DstRight, int32_t DstBottom,
                       int32_t Rop, int32_t Opacity, bool UseAlpha) override;
    void DrawSurfaceTransparent(TPlatformSurface* Surface, int32_t SrcLeft, int32_t SrcTop, int32_t SrcRight,
                                int32_t SrcBottom, int32_t DstLeft, int32_t DstTop, int32_t DstRight,
                                int32_t DstBottom, int32_t TransparentColor) override;
    TPlatformSurface* GetSurface() override;

    // What the canvas holds now, for tests of object lifetimes.
    HGDIOBJ CurrentPen() const { return pen_; }
    HGDIOBJ CurrentBrush() const { return brush_; }
    HGDIOBJ CurrentFont() const { return font_; }
    int32_t SaveDepth() const { return int32_t(saveStack_.size()); }

private:
    struct TSaveRecord {
        HGDIOBJ Pen;
        HGDIOBJ Brush;
        HGDIOBJ Font;
        uint32_t BrushColor;
        int32_t BrushStyle;
    };
    // Selects Created (Initial when GDI made none), then deletes what Field
    // held unless a saved state still holds it, and keeps Created in Field.
    void Replace(HGDIOBJ& Field, HGDIOBJ Created, HGDIOBJ Initial);
    bool HeldBySave(HGDIOBJ Handle) const;
    // The memory context of Surface when it is a TWinSurface with pixels.
    static HDC SourceDC(TPlatformSurface* Surface, TWinSurface*& Source);

    HDC dc_;
    TRef<TWinSurface> surface_;
    TRef<System::TObject> keeper_;
    HGDIOBJ pen_ = nullptr;
    HGDIOBJ brush_ = nullptr;
    HGDIOBJ font_ = nullptr;
    uint32_t brushColor_ = 0xFFFFFF;
    int32_t brushStyle_ = BrushStyleSolid;
    HGDIOBJ initialPen_;
    HGDIOBJ initialBrush_;
    HGDIOBJ initialFont_;
    // Grows with every Save, so that each Restore finds its own record.
    std::vector<TSaveRecord> saveStack_;
};

// A 32-bit top-down DIB section selected into a memory device context; its
// bits are the surface's pixels. When GDI cannot make the section (out of
// memory, a size it refuses) the surface has no pixels: Bits is nil, every
// pixel reads 0, its canvases draw nothing and it saves no PNG.
class TWinSurface : public TPlatformSurface {
public:
    // Sizes of 0 or less become 1. A surface whose pixel block would pass
    // INT32_MAX bytes, or that GDI cannot make, keeps its size but has no
    // pixels (Bits nil, Stride 0).
    TWinSurface(int32_t Width, int32_t Height, bool HasAlpha);
    ~TWinSurface() override;

    int32_t Width() override { return width_; }
    int32_t Height() override { return height_; }
    bool HasAlpha() override { return alpha_; }
    TRef<TPlatformCanvas> CreateCanvas() override;
    uint8_t* Bits() override;
    // 0 for a surface without pixels, whose width may pass INT32_MAX / 4.
    int32_t Stride() override { return bitsPtr_ ? width_ * 4 : 0; }
    // Without alpha, clears the unused top byte of every pixel: GDI's colour
    // key (TransparentBlt under Wine) compares all 32 bits, so a pixel
    // written as opaque through Bits would never match the transparent colour.
    void FinishDrawing() override;
    TRef<TPlatformSurface> CreateCompatible(int32_t Width, int32_t Height, bool HasAlpha) override;
    bool SaveToPng(const std::u16string& FileName) override;
    int32_t PixelAt(int32_t X, int32_t Y) override;
    int32_t AlphaAt(int32_t X, int32_t Y) override;
    void* NativeHandle() override { return bitmap_; }

    // The memory context (0 when the surface has no pixels).
    HDC MemDC() const { return memDC_; }

private:
    // The pixel at (X, Y), already inside the surface, after GdiFlush.
    uint32_t RawPixel(int32_t X, int32_t Y);

    HDC memDC_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    uint8_t* bitsPtr_ = nullptr;
    int32_t width_;
    int32_t height_;
    bool alpha_;
};

class TWinServices : public TPlatformServices {
public:
    TRef<TPlatformSurface> CreateSurface(int32_t Width, int32_t Height, bool HasAlpha) override;
    TRef<TPlatformSurface> LoadPngFile(const std::u16string& FileName) override;
    TRef<TPlatformSurface> LoadPngMemory(const uint8_t* Data, int32_t Size) override;
    System::TBytes SavePngMemory(TPlatformSurface* Surface) override;
    // The screen's vertical logical DPI, 96 when the device reports none.
    int32_t ScreenDpi() override;
    std::u16string DefaultFontName() override { return u"Segoe UI"; }
};

// The registry's factory for "gdi": installs a TWinServices unless services
// are installed already.
void CreateWinServices();
// Registers "gdi" (rasterizing, Windows, priority 50): the start-up's last
// canvas registration.
void RegisterWinCanvasBackend();

} // namespace Zyl

// --- Native services: callback boundary, clipboard, dialogs, icon, frame ---

namespace Zyl {

// Every Windows callback of the native services runs its whole body through
// here, so that nothing unwinds through user32 or shell32: an Exception is
// dropped when DropException is set; anything else (and an Exception that is
// not dropped) waits in the process's pending slot for the shell's message
// pump, which raises it again on its own stack. Returns Body's result, or
// Fallback when Body raised.
template <class TResult, class TBody>
TResult RunCallbackBody(bool DropException, TResult Fallback, TBody&& Body);
// Keeps the exception being handled in the pending slot (the first one wins).
void KeepPendingCallbackException();
// Raises the pending exception, if any, and empties the slot.
void RaisePendingCallbackException();
// Whether an exception waits in the slot.
bool HasPendingCallbackException();

template <class TResult, class TBody>
TResult RunCallbackBody(bool DropException, TResult Fallback, TBody&& Body) {
    try {
        return Body();
    } catch (const System::Exception&) {
        if (!DropException) KeepPendingCallbackException();
    } catch (...) {
        KeepPendingCallbackException();
    }
    return Fallback;
}

// The clipboard calls the services make; tests replace them to make the
// failures the real clipboard will not show.
struct TClipboardCalls {
    BOOL (*Open)(HWND Owner);
    BOOL (*Close)();
    BOOL (*Empty)();
    BOOL (*IsFormatAvailable)(UINT Format);
    HANDLE (*GetData)(UINT Format);
    HANDLE (*SetData)(UINT Format, HANDLE Block);
    UINT (*RegisterFormat)(LPCWSTR Name);
    HGLOBAL (*Alloc)(UINT Flags, SIZE_T Bytes);
    HGLOBAL (*Free)(HGLOBAL Block);
};
TClipboardCalls& ClipboardCalls();
// The system's functions.
TClipboardCalls SystemClipboardCalls();

// The format registered as "PNG", registered on first need.
UINT PngClipboardFormat();
// "" when the clipboard cannot be opened or holds no text.
std::u16string ReadClipboardText();
void WriteClipboardText(const std::u16string& Text);
// The "PNG" block when it decodes, else a 24- or 32-bit CF_DIB as an opaque
// surface; nil without services, clipboard or usable image.
TRef<TPlatformSurface> ReadClipboardImage();
// Places CF_DIB and "PNG"; nothing for nil; no CF_DIB for a surface without
// pixels.
void WriteClipboardImage(TPlatformSurface* Surface);

// The frame-theme calls; tests replace them, since Wine answers every DWM
// attribute and has no uxtheme ordinals.
struct TFrameThemeCalls {
    HRESULT (*SetWindowAttribute)(HWND Window, DWORD Attribute, LPCVOID Value, DWORD Size);
    HRESULT (*SetWindowTheme)(HWND Window, LPCWSTR SubAppName, LPCWSTR SubIdList);
    BOOL (*SetWindowPos)(HWND Window, HWND InsertAfter, int X, int Y, int Width, int Height, UINT Flags);
    // uxtheme.dll from the system folder; raises EOsError when missing.
    HMODULE (*LoadUxTheme)();
    // The export of that ordinal, or nil.
    FARPROC (*ExportByOrdinal)(HMODULE Module, WORD Ordinal);
};
TFrameThemeCalls& FrameThemeCalls();
TFrameThemeCalls SystemFrameThemeCalls();

// Light or dark frame, caption, text and border colours (red in the low
// byte); every failure is swallowed.
void ApplyShellFrameTheme(HWND Window, bool Dark, int32_t CaptionColor, int32_t TextColor, int32_t BorderColor);
// The theme mode of the process's menus, through uxtheme's ordinals 135/136.
void SetMenuThemeMode(bool Dark);

// The dialog calls; tests replace them, since a real dialog waits for a user.
struct TDialogCalls {
    BOOL (*GetOpenFileName)(OPENFILENAMEW* Dialog);
    BOOL (*GetSaveFileName)(OPENFILENAMEW* Dialog);
    // Shows the folder dialog; returns the chosen path's item list or nil.
    void* (*BrowseForFolder)(BROWSEINFOW* Dialog);
    BOOL (*PathFromItemList)(void* Items, LPWSTR Path);
    void (*FreeItemList)(void* Items);
};
TDialogCalls& DialogCalls();
TDialogCalls SystemDialogCalls();

// Kind FileDialogOpen, FileDialogSave or FileDialogFolder; Options the
// FileDialog* bits. False for cancel or failure, leaving FilterIndex and
// Result alone.
bool ShowFileDialog(HWND Owner, const std::u16string& Title, int32_t Kind, int32_t Options,
                    const std::u16string& FileName, const std::u16string& InitialFolder,
                    const std::u16string& Filter, const std::u16string& DefaultExt, int32_t& FilterIndex,
                    std::u16string& Result);
bool ShowSimpleFileDialog(HWND Owner, const std::u16string& Title, bool Save, const std::u16string& FileName,
                          const std::u16string& InitialFolder, const std::u16string& Filter,
                          const std::u16string& DefaultExt, int32_t& FilterIndex, std::u16string& Result);
bool BrowseForFolder(HWND Owner, const std::u16string& Title, const std::u16string& InitialFolder,
                     std::u16string& Result);
// The folder dialog's callback: selects the initial folder (Data) once the
// dialog is up.
int CALLBACK BrowseFolderCallback(HWND Window, UINT Message, LPARAM Param, LPARAM Data);

// The icon of Module ("MAINICON", else id 1, else its first icon group) at
// the system's small or large icon size; 0 when it has none. Shared: nobody
// destroys it.
HICON LoadAppIcon(bool Small, HMODULE Module = nullptr);

} // namespace Zyl

// --- Tray icons and native menus -------------------------------------------

namespace Zyl {

// The notification-area call; tests replace it, since Wine shows no tray.
using TShellNotifyIcon = BOOL (*)(DWORD Message, NOTIFYICONDATAW* Data);
TShellNotifyIcon& ShellNotifyIconCall();
TShellNotifyIcon SystemShellNotifyIcon();

// The hidden "ZylTrayWindow" that receives tray notifications and owns the
// menus' popups; made on first need, never destroyed.
HWND EnsureTrayWindow();
LRESULT CALLBACK TrayWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
// The callback message of every tray icon.
constexpr UINT TrayCallbackMessage = WM_APP + 1;

class TWinTrayIcon : public TPlatformTrayIcon {
public:
    ~TWinTrayIcon() override;
    void SetVisible(bool Visible) override;
    // Nil, or a surface without pixels, gives no icon.
    void SetIcon(TPlatformSurface* Surface) override;
    void SetTip(const std::u16string& Text) override;
    // Kind 1 warning, 3 error, any other information.
    void ShowBalloon(const std::u16string& Title, const std::u16string& Text, int32_t Kind) override;
    void HideBalloon() override;

    int32_t Id() const { return id_; }
    bool Visible() const { return visible_; }
    HICON Icon() const { return icon_; }
    // Adds the icon again when visible (after Explorer restarted).
    void Restore();

private:
    friend TRef<TWinTrayIcon> CreateWinTrayIcon();
    // The record naming this icon: size, window and id, nothing else.
    NOTIFYICONDATAW IdRecord() const;
    // That and the message, icon and tip.
    NOTIFYICONDATAW FullRecord() const;

    int32_t id_ = 0;
    bool visible_ = false;
    HICON icon_ = nullptr;
    std::u16string tip_;
};

// A 32-bit icon of the surface's pixels, its transparency from their alpha;
// 0 for nil, a surface without pixels or when GDI refuses. Rows are copied
// one by one, so padded rows are fine.
HICON IconOfSurface(TPlatformSurface* Surface);

// A new hidden icon with the next id (1, 2, ...; never reused), listed in
// the process's tray registry, which keeps it alive until the program ends.
TRef<TWinTrayIcon> CreateWinTrayIcon();
// The listed icon with that id, or nil.
TRef<TWinTrayIcon> FindTrayIcon(int32_t Id);
// Drops the registry's references (program end).
void ReleaseTrayIcons();

class TNativeWinMenu : public TPlatformMenu {
public:
    // A popup menu, or a menu bar.
    explicit TNativeWinMenu(bool Popup);
    ~TNativeWinMenu() override;
    void AddItem(int32_t ParentId, const std::u16string& Caption, int32_t Id) override;
    void AddCheckItem(int32_t ParentId, const std::u16string& Caption, int32_t Id) override;
    void AddSeparator(int32_t ParentId) override;
    void SetItemEnabled(int32_t Id, bool Enabled) override;
    void SetItemChecked(int32_t Id, bool Checked) override;
    bool GetItemChecked(int32_t Id) override;
    // At the cursor; a choice reaches the sink as Reserved39(1).
    void Popup() override;

    HMENU Handle() const { return menu_; }
    bool IsPopup() const { return isPopup_; }
    // The submenu of an item, 0 when nothing was added under it.
    HMENU SubMenuOf(int32_t Id) const;

private:
    struct TItem {
        int32_t Id;
        HMENU ParentMenu;
        HMENU SubMenu;
        std::u16string Caption;
    };
    TItem* Find(int32_t Id);
    HMENU MenuFor(int32_t ParentId);

    HWND ownerWindow_;
    HMENU menu_;
    bool isPopup_;
    std::vector<TItem> items_;
};

} // namespace Zyl

// --- Printing ---------------------------------------------------------------

namespace Zyl {

// The spooler and printer-context calls; tests replace them, since Wine has
// no printers.
struct TPrintCalls {
    BOOL (*EnumPrinters)(DWORD Flags, LPWSTR Server, DWORD Level, LPBYTE Buffer, DWORD Size, LPDWORD Needed,
                         LPDWORD Returned);
    BOOL (*GetDefaultPrinter)(LPWSTR Buffer, LPDWORD Size);
    BOOL (*OpenPrinter)(LPWSTR Name, LPHANDLE Printer, LPPRINTER_DEFAULTSW Defaults);
    BOOL (*ClosePrinter)(HANDLE Printer);
    LONG (*DocumentProperties)(HWND Window, HANDLE Printer, LPWSTR Name, PDEVMODEW Output, PDEVMODEW Input,
                               DWORD Mode);
    HDC (*CreateDC)(LPCWSTR Driver, LPCWSTR Device, LPCWSTR Port, const DEVMODEW* Mode);
    int (*StartDoc)(HDC DC, const DOCINFOW* Document);
    int (*StartPage)(HDC DC);
    int (*EndPage)(HDC DC);
    int (*EndDoc)(HDC DC);
    int (*AbortDoc)(HDC DC);
    BOOL (*DeleteDC)(HDC DC);
    int (*GetDeviceCaps)(HDC DC, int Index);
};
TPrintCalls& PrintCalls();
TPrintCalls SystemPrintCalls();

// The installed printers' names, in the spooler's order, and the default
// one's name ("" when there is none).
void EnumPrinterNames(std::vector<std::u16string>& Names, std::u16string& DefaultName);

// One document on a printer; pages are drawn through TWinCanvas.
class TWinPrintJob : public TPlatformPrintJob {
public:
    ~TWinPrintJob() override;
    int32_t PageWidth() override { return pageWidth_; }
    int32_t PageHeight() override { return pageHeight_; }
    int32_t DpiX() override { return dpiX_; }
    int32_t DpiY() override { return dpiY_; }
    int32_t PhysicalWidth() override { return physicalWidth_; }
    int32_t PhysicalHeight() override { return physicalHeight_; }
    int32_t PhysicalOffsetX() override { return physicalOffsetX_; }
    int32_t PhysicalOffsetY() override { return physicalOffsetY_; }
    // A new canvas on the printer context, which keeps this job (and so the
    // context) alive; nil once the document ended or when it never started.
    TRef<TPlatformCanvas> BeginPage() override;
    void EndPage() override;
    void EndJob() override;
    void Abort() override;

private:
    friend TRef<TWinPrintJob> CreateWinPrintJob(const std::u16string&, const std::u16string&, bool, int32_t,
                                                const std::u16string&);
    void OpenPrinterDC(const std::u16string& PrinterName, const std::u16string& DocumentName, bool Landscape,
                       int32_t Copies, const std::u16string& OutputFile);

    HDC dc_ = nullptr;
    bool pageOpen_ = false;
    bool finished_ = false;
    int32_t pageWidth_ = 0, pageHeight_ = 0, dpiX_ = 0, dpiY_ = 0;
    int32_t physicalWidth_ = 0, physicalHeight_ = 0, physicalOffsetX_ = 0, physicalOffsetY_ = 0;
};

// A started document on the named printer, or nil when no context or
// document could be made.
TRef<TWinPrintJob> CreateWinPrintJob(const std::u16string& PrinterName, const std::u16string& DocumentName,
                                     bool Landscape, int32_t Copies, const std::u16string& OutputFile);

class TWinPrinterList : public System::TObject {
public:
    // Reads the names and the default printer again; the default is the
    // first printer when the spooler names none of the list.
    void Refresh();
    int32_t Count() const { return int32_t(names_.size()); }
    int32_t DefaultIndex() const { return defaultIndex_; }
    // "" outside the list.
    std::u16string PrinterName(int32_t Index) const;
    // Nil outside the list.
    TRef<TWinPrintJob> StartJob(int32_t Index, const std::u16string& DocumentName, bool Landscape, int32_t Copies,
                                const std::u16string& OutputFile) const;

private:
    std::vector<std::u16string> names_;
    int32_t defaultIndex_ = -1;
};

} // namespace Zyl
