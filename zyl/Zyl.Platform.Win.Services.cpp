// The native services that are not drawing: the callback boundary, the
// clipboard, the common dialogs, the application icon and the frame theme.
#include <windows.h>

#include "Zyl.Platform.Win.Api.h"
#include "Zyl.Platform.Win.h"

#include <dwmapi.h>
#include <uxtheme.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <variant>

#include "Zyl.Platform.Win.Blocks.h"

namespace Zyl {

namespace {

using System::TLazyProc;

std::exception_ptr& PendingCallbackException() {
    static std::exception_ptr pending;
    return pending;
}

// --- Bound functions -----------------------------------------------------------

TLazyProc<decltype(&::OpenClipboard)> pOpenClipboard{u"user32.dll", "OpenClipboard"};
TLazyProc<decltype(&::CloseClipboard)> pCloseClipboard{u"user32.dll", "CloseClipboard"};
TLazyProc<decltype(&::EmptyClipboard)> pEmptyClipboard{u"user32.dll", "EmptyClipboard"};
TLazyProc<decltype(&::IsClipboardFormatAvailable)> pIsClipboardFormatAvailable{u"user32.dll",
                                                                                "IsClipboardFormatAvailable"};
TLazyProc<decltype(&::GetClipboardData)> pGetClipboardData{u"user32.dll", "GetClipboardData"};
TLazyProc<decltype(&::SetClipboardData)> pSetClipboardData{u"user32.dll", "SetClipboardData"};
TLazyProc<decltype(&::RegisterClipboardFormatW)> pRegisterClipboardFormatW{u"user32.dll",
                                                                            "RegisterClipboardFormatW"};
TLazyProc<decltype(&::DwmSetWindowAttribute)> pDwmSetWindowAttribute{u"dwmapi.dll", "DwmSetWindowAttribute"};
TLazyProc<decltype(&::SetWindowTheme)> pSetWindowTheme{u"uxtheme.dll", "SetWindowTheme"};
TLazyProc<decltype(&::SetWindowPos)> pSetWindowPos{u"user32.dll", "SetWindowPos"};
TLazyProc<decltype(&::GetOpenFileNameW)> pGetOpenFileNameW{u"comdlg32.dll", "GetOpenFileNameW"};
TLazyProc<decltype(&::GetSaveFileNameW)> pGetSaveFileNameW{u"comdlg32.dll", "GetSaveFileNameW"};
TLazyProc<decltype(&::SHBrowseForFolderW)> pSHBrowseForFolderW{u"shell32.dll", "SHBrowseForFolderW"};
TLazyProc<decltype(&::SHGetPathFromIDListW)> pSHGetPathFromIDListW{u"shell32.dll", "SHGetPathFromIDListW"};
TLazyProc<decltype(&::CoInitialize)> pCoInitialize{u"ole32.dll", "CoInitialize"};
TLazyProc<decltype(&::CoTaskMemFree)> pCoTaskMemFree{u"ole32.dll", "CoTaskMemFree"};
TLazyProc<decltype(&::SendMessageW)> pSendMessageW{u"user32.dll", "SendMessageW"};
TLazyProc<decltype(&::GetSystemMetrics)> pGetSystemMetrics{u"user32.dll", "GetSystemMetrics"};
TLazyProc<decltype(&::LoadImageW)> pLoadImageW{u"user32.dll", "LoadImageW"};

// --- Clipboard holders ----------------------------------------------------------

// The clipboard, open for the holder's life when Opened.
class TClipboardSession {
public:
    TClipboardSession() : open_(ClipboardCalls().Open(nullptr)) {}
    ~TClipboardSession() {
        if (open_) ClipboardCalls().Close();
    }
    TClipboardSession(const TClipboardSession&) = delete;
    TClipboardSession& operator=(const TClipboardSession&) = delete;
    bool Opened() const { return open_; }

private:
    bool open_;
};

// A global block locked for the holder's life; Data nil when it is not.
class TLockedBlock {
public:
    explicit TLockedBlock(HANDLE Block)
        : block_(Block), data_(Block ? static_cast<uint8_t*>(GlobalLock(Block)) : nullptr),
          size_(data_ ? GlobalSize(Block) : 0) {}
    ~TLockedBlock() {
        if (data_) GlobalUnlock(block_);
    }
    TLockedBlock(const TLockedBlock&) = delete;
    TLockedBlock& operator=(const TLockedBlock&) = delete;
    uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

private:
    HANDLE block_;
    uint8_t* data_;
    size_t size_;
};

// Places Size bytes under Format as a movable block; the block is freed
// unless the clipboard took it.
void PlaceBlock(UINT Format, const void* Bytes, size_t Size) {
    const HGLOBAL block = ClipboardCalls().Alloc(GMEM_MOVEABLE, Size);
    if (!block) return;
    bool placed = false;
    if (void* data = GlobalLock(block)) {
        std::memcpy(data, Bytes, Size);
        GlobalUnlock(block);
        placed = ClipboardCalls().SetData(Format, block) != nullptr;
    }
    if (!placed) ClipboardCalls().Free(block);
}

// The image of the "PNG" block, or nil when there is none or it does not
// decode.
TRef<TPlatformSurface> ReadPngBlock(TPlatformServices& Services) {
    const UINT format = PngClipboardFormat();
    if (!format || !ClipboardCalls().IsFormatAvailable(format)) return nullptr;
    const TLockedBlock block(ClipboardCalls().GetData(format));
    if (!block.Data() || block.Size() > size_t(INT32_MAX)) return nullptr;
    return Services.LoadPngMemory(block.Data(), int32_t(block.Size()));
}

TRef<TPlatformSurface> ReadDibBlock(TPlatformServices& Services) {
    if (!ClipboardCalls().IsFormatAvailable(CF_DIB)) return nullptr;
    const TLockedBlock block(ClipboardCalls().GetData(CF_DIB));
    TDibLayout layout;
    if (!block.Data() || !ReadDibLayout(block.Data(), block.Size(), layout)) return nullptr;
    TRef<TPlatformSurface> surface = Services.CreateSurface(layout.Width, layout.Height, false);
    if (!surface) return nullptr;
    uint8_t* bits = surface->Bits();
    // A surface without pixels, or not the size asked for, cannot take them.
    if (!bits || surface->Width() != layout.Width || surface->Height() != layout.Height ||
        surface->Stride() < layout.Width * 4)
        return nullptr;
    CopyDibPixels(block.Data(), layout, bits, surface->Stride());
    surface->FinishDrawing();
    return surface;
}

// --- Dialogs ---------------------------------------------------------------------

constexpr size_t kSingleFileUnits = 1040;
constexpr size_t kMultiFileUnits = 65536;

struct TDialogSetup {
    DWORD Flags;
    bool Save;
    size_t BufferUnits;
    // Longest initial file name copied; longer ones are CutLongName ? cut :
    // left out.
    size_t NameUnits;
    bool CutLongName;
};

bool RunFileDialogWith(HWND Owner, const std::u16string& Title, const TDialogSetup& Setup,
                       const std::u16string& FileName, const std::u16string& InitialFolder,
                       const std::u16string& Filter, const std::u16string& DefaultExt, int32_t& FilterIndex,
                       std::u16string& Result) {
    const std::u16string filter = BuildDialogFilter(Filter);
    std::vector<char16_t> buffer(Setup.BufferUnits, 0);
    if (!FileName.empty() && (FileName.size() <= Setup.NameUnits || Setup.CutLongName))
        std::copy_n(FileName.begin(), std::min(FileName.size(), Setup.NameUnits), buffer.begin());
    OPENFILENAMEW dialog{};
    static_assert(sizeof(OPENFILENAMEW) == 152);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Owner;
    if (!filter.empty()) {
        dialog.lpstrFilter = System::WStr(filter);
        dialog.nFilterIndex = DWORD(FilterIndex);
    }
    dialog.lpstrFile = reinterpret_cast<wchar_t*>(buffer.data());
    // The dialog is told a little less than the buffer holds, so its answer
    // always ends inside it.
    dialog.nMaxFile = DWORD(Setup.BufferUnits - 16);
    if (!InitialFolder.empty()) dialog.lpstrInitialDir = System::WStr(InitialFolder);
    if (!Title.empty()) dialog.lpstrTitle = System::WStr(Title);
    if (!DefaultExt.empty()) dialog.lpstrDefExt = System::WStr(DefaultExt);
    dialog.Flags = Setup.Flags;
    const BOOL chosen =
        Setup.Save ? DialogCalls().GetSaveFileName(&dialog) : DialogCalls().GetOpenFileName(&dialog);
    if (!chosen) return false;
    FilterIndex = int32_t(dialog.nFilterIndex);
    Result = ParseDialogSelection(buffer.data(), buffer.size());
    return true;
}

// --- Application icon ----------------------------------------------------------

// The first icon group's name: an integer id, or a copy of the string name,
// which the enumeration frees once it returns.
using TResourceName = std::variant<std::monostate, WORD, std::u16string>;

BOOL CALLBACK FirstIconGroupEnumProc(HMODULE, LPCWSTR, LPWSTR Name, LONG_PTR Param) {
    return RunCallbackBody<BOOL>(false, FALSE, [&] {
        auto& found = *reinterpret_cast<TResourceName*>(Param);
        if (IS_INTRESOURCE(Name))
            found = WORD(reinterpret_cast<ULONG_PTR>(Name));
        else
            found = System::FromWStr(Name);
        return FALSE;  // the first group is enough
    });
}

TLazyProc<decltype(&::EnumResourceNamesW)> pEnumResourceNamesW{u"kernel32.dll", "EnumResourceNamesW"};

} // namespace

// --- Callback boundary ----------------------------------------------------------

void KeepPendingCallbackException() {
    if (!PendingCallbackException()) PendingCallbackException() = std::current_exception();
}

void RaisePendingCallbackException() {
    if (std::exception_ptr pending = std::exchange(PendingCallbackException(), nullptr))
        std::rethrow_exception(pending);
}

bool HasPendingCallbackException() { return PendingCallbackException() != nullptr; }

// --- Clipboard ---------------------------------------------------------------------

TClipboardCalls SystemClipboardCalls() {
    return {
        [](HWND owner) { return pOpenClipboard()(owner); },
        [] { return pCloseClipboard()(); },
        [] { return pEmptyClipboard()(); },
        [](UINT format) { return pIsClipboardFormatAvailable()(format); },
        [](UINT format) { return pGetClipboardData()(format); },
        [](UINT format, HANDLE block) { return pSetClipboardData()(format, block); },
        [](LPCWSTR name) { return pRegisterClipboardFormatW()(name); },
        [](UINT flags, SIZE_T bytes) { return GlobalAlloc(flags, bytes); },
        [](HGLOBAL block) { return GlobalFree(block); },
    };
}

TClipboardCalls& ClipboardCalls() {
    static TClipboardCalls calls = SystemClipboardCalls();
    return calls;
}

UINT PngClipboardFormat() {
    static UINT format = 0;
    if (!format) format = ClipboardCalls().RegisterFormat(L"PNG");
    return format;
}

std::u16string ReadClipboardText() {
    const TClipboardSession session;
    if (!session.Opened() || !ClipboardCalls().IsFormatAvailable(CF_UNICODETEXT)) return {};
    const TLockedBlock block(ClipboardCalls().GetData(CF_UNICODETEXT));
    return block.Data() ? ReadTextBlock(block.Data(), block.Size()) : std::u16string();
}

void WriteClipboardText(const std::u16string& Text) {
    const TClipboardSession session;
    if (!session.Opened()) return;
    ClipboardCalls().Empty();
    PlaceBlock(CF_UNICODETEXT, Text.c_str(), (Text.size() + 1) * sizeof(char16_t));
}

TRef<TPlatformSurface> ReadClipboardImage() {
    TPlatformServices* services = CurrentPlatformServices();
    if (!services) return nullptr;
    const TClipboardSession session;
    if (!session.Opened()) return nullptr;
    if (TRef<TPlatformSurface> png = ReadPngBlock(*services)) return png;
    return ReadDibBlock(*services);
}

void WriteClipboardImage(TPlatformSurface* Surface) {
    if (!Surface) return;
    const TClipboardSession session;
    if (!session.Opened()) return;
    ClipboardCalls().Empty();
    if (const uint8_t* bits = Surface->Bits()) {
        const System::TBytes dib = WriteDibBlock(bits, Surface->Width(), Surface->Height(), Surface->Stride());
        if (!dib.empty()) PlaceBlock(CF_DIB, dib.data(), dib.size());
    }
    if (TPlatformServices* services = CurrentPlatformServices()) {
        const System::TBytes png = services->SavePngMemory(Surface);
        if (!png.empty()) PlaceBlock(PngClipboardFormat(), png.data(), png.size());
    }
}

// --- Frame theme --------------------------------------------------------------------

TFrameThemeCalls SystemFrameThemeCalls() {
    return {
        [](HWND window, DWORD attribute, LPCVOID value, DWORD size) {
            return pDwmSetWindowAttribute()(window, attribute, value, size);
        },
        [](HWND window, LPCWSTR subApp, LPCWSTR subIds) { return pSetWindowTheme()(window, subApp, subIds); },
        [](HWND window, HWND after, int x, int y, int width, int height, UINT flags) {
            return pSetWindowPos()(window, after, x, y, width, height, flags);
        },
        [] { return System::SystemLibrary(u"uxtheme.dll"); },
        // By ordinal, never through the binding by name, whose error path
        // reads the name as text.
        [](HMODULE module, WORD ordinal) { return GetProcAddress(module, MAKEINTRESOURCEA(ordinal)); },
    };
}

TFrameThemeCalls& FrameThemeCalls() {
    static TFrameThemeCalls calls = SystemFrameThemeCalls();
    return calls;
}

void ApplyShellFrameTheme(HWND Window, bool Dark, int32_t CaptionColor, int32_t TextColor, int32_t BorderColor) {
    if (!Window) return;
    const TFrameThemeCalls& calls = FrameThemeCalls();
    try {
        const DWORD dark = Dark ? 1 : 0;
        if (calls.SetWindowAttribute(Window, 20, &dark, sizeof dark) != S_OK)
            calls.SetWindowAttribute(Window, 19, &dark, sizeof dark);
        const DWORD colours[3][2] = {{34, DWORD(BorderColor)}, {35, DWORD(CaptionColor)}, {36, DWORD(TextColor)}};
        for (const auto& [attribute, colour] : colours)
            calls.SetWindowAttribute(Window, attribute, &colour, sizeof colour);
        calls.SetWindowTheme(Window, Dark ? L"DarkMode_Explorer" : nullptr, nullptr);
        SetMenuThemeMode(Dark);
        calls.SetWindowPos(Window, nullptr, 0, 0, 0, 0,
                           SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } catch (const System::Exception&) {
        // A system without dwmapi or uxtheme keeps its own frame.
    }
}

void SetMenuThemeMode(bool Dark) {
    const TFrameThemeCalls& calls = FrameThemeCalls();
    HMODULE uxtheme;
    try {
        uxtheme = calls.LoadUxTheme();
    } catch (const System::EOsError&) {
        return;
    }
    using TSetPreferredAppMode = int(WINAPI*)(int);
    using TFlushMenuThemes = void(WINAPI*)();
    const FARPROC setMode = calls.ExportByOrdinal(uxtheme, 135);
    if (!setMode) return;
    reinterpret_cast<TSetPreferredAppMode>(reinterpret_cast<void*>(setMode))(Dark ? 2 : 3);
    if (const FARPROC flush = calls.ExportByOrdinal(uxtheme, 136))
        reinterpret_cast<TFlushMenuThemes>(reinterpret_cast<void*>(flush))();
}

// --- Dialogs ---------------------------------------------------------------------

TDialogCalls SystemDialogCalls() {
    return {
        [](OPENFILENAMEW* dialog) { return pGetOpenFileNameW()(dialog); },
        [](OPENFILENAMEW* dialog) { return pGetSaveFileNameW()(dialog); },
        [](BROWSEINFOW* dialog) -> void* {
            pCoInitialize()(nullptr);  // once per thread is enough; never undone
            return pSHBrowseForFolderW()(dialog);
        },
        [](void* items, LPWSTR path) { return pSHGetPathFromIDListW()(static_cast<PCIDLIST_ABSOLUTE>(items), path); },
        [](void* items) { pCoTaskMemFree()(items); },
    };
}

TDialogCalls& DialogCalls() {
    static TDialogCalls calls = SystemDialogCalls();
    return calls;
}

bool ShowFileDialog(HWND Owner, const std::u16string& Title, int32_t Kind, int32_t Options,
                    const std::u16string& FileName, const std::u16string& InitialFolder,
                    const std::u16string& Filter, const std::u16string& DefaultExt, int32_t& FilterIndex,
                    std::u16string& Result) {
    if (Kind == FileDialogFolder) return BrowseForFolder(Owner, Title, InitialFolder, Result);
    const bool save = Kind == FileDialogSave;
    const bool multi = !save && (Options & FileDialogMultiSelect);
    DWORD flags = OFN_EXPLORER;
    if (Options & FileDialogHideReadOnly) flags |= OFN_HIDEREADONLY;
    if (Options & FileDialogNoChangeDir) flags |= OFN_NOCHANGEDIR;
    if (Options & FileDialogPathMustExist) flags |= OFN_PATHMUSTEXIST;
    if (save && (Options & FileDialogOverwritePrompt)) flags |= OFN_OVERWRITEPROMPT;
    if (!save && (Options & FileDialogFileMustExist)) flags |= OFN_FILEMUSTEXIST;
    if (multi) flags |= OFN_ALLOWMULTISELECT;
    const TDialogSetup setup{flags, save && !multi, multi ? kMultiFileUnits : kSingleFileUnits, 999, false};
    return RunFileDialogWith(Owner, Title, setup, FileName, InitialFolder, Filter, DefaultExt, FilterIndex, Result);
}

bool ShowSimpleFileDialog(HWND Owner, const std::u16string& Title, bool Save, const std::u16string& FileName,
                          const std::u16string& InitialFolder, const std::u16string& Filter,
                          const std::u16string& DefaultExt, int32_t& FilterIndex, std::u16string& Result) {
    const DWORD flags = Save ? 0x8080E : 0x8180C;
    const TDialogSetup setup{flags, Save, kSingleFileUnits, 1000, true};
    return RunFileDialogWith(Owner, Title, setup, FileName, InitialFolder, Filter, DefaultExt, FilterIndex, Result);
}

int CALLBACK BrowseFolderCallback(HWND Window, UINT Message, LPARAM, LPARAM Data) {
    return RunCallbackBody<int>(false, 0, [&] {
        if (Message == BFFM_INITIALIZED && Data) pSendMessageW()(Window, BFFM_SETSELECTIONW, 1, Data);
        return 0;
    });
}

bool BrowseForFolder(HWND Owner, const std::u16string& Title, const std::u16string& InitialFolder,
                     std::u16string& Result) {
    char16_t displayName[520] = {};
    BROWSEINFOW dialog{};
    dialog.hwndOwner = Owner;
    dialog.pszDisplayName = reinterpret_cast<wchar_t*>(displayName);
    dialog.lpszTitle = System::WStr(Title);
    dialog.ulFlags = 0x51;
    if (!InitialFolder.empty()) {
        dialog.lpfn = BrowseFolderCallback;
        dialog.lParam = reinterpret_cast<LPARAM>(InitialFolder.c_str());
    }
    void* items = DialogCalls().BrowseForFolder(&dialog);
    if (!items) return false;
    char16_t path[520] = {};
    const bool found = DialogCalls().PathFromItemList(items, reinterpret_cast<wchar_t*>(path));
    DialogCalls().FreeItemList(items);
    if (found) Result = System::FromWStr(reinterpret_cast<const wchar_t*>(path));
    return found;
}

// --- Application icon ----------------------------------------------------------

HICON LoadAppIcon(bool Small, HMODULE Module) {
    const HMODULE module = Module ? Module : GetModuleHandleW(nullptr);
    const int size = pGetSystemMetrics()(Small ? SM_CXSMICON : SM_CXICON);
    const auto load = [&](LPCWSTR name) {
        return static_cast<HICON>(pLoadImageW()(module, name, IMAGE_ICON, size, size, LR_SHARED));
    };
    if (HICON icon = load(L"MAINICON")) return icon;
    if (HICON icon = load(MAKEINTRESOURCEW(1))) return icon;
    TResourceName first;
    pEnumResourceNamesW()(module, RT_GROUP_ICON, FirstIconGroupEnumProc, reinterpret_cast<LONG_PTR>(&first));
    if (const WORD* id = std::get_if<WORD>(&first)) return load(MAKEINTRESOURCEW(*id));
    if (const std::u16string* name = std::get_if<std::u16string>(&first)) return load(System::WStr(*name));
    return nullptr;
}

} // namespace Zyl
