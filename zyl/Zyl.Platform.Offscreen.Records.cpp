#include "Zyl.Platform.Offscreen.h"

namespace Zyl {

using System::TRef;

namespace {

constexpr int32_t kWhite = 0xFFFFFF;
// A4 at 100 dots per inch.
constexpr int32_t kA4ShortSide = 827;
constexpr int32_t kA4LongSide = 1169;

} // namespace

void TOffscreenMenu::AddItem(int32_t parent, const std::u16string& caption, int32_t id) {
    TOffscreenMenuItem item;
    item.Id = id;
    item.Parent = parent;
    item.Caption = caption;
    Items.push_back(std::move(item));
}

void TOffscreenMenu::AddCheckItem(int32_t parent, const std::u16string& caption, int32_t id) {
    AddItem(parent, caption, id);
    Items.back().CheckItem = true;
}

void TOffscreenMenu::AddSeparator(int32_t parent) {
    AddItem(parent, u"-", 0);
    Items.back().Separator = true;
}

TOffscreenMenuItem* TOffscreenMenu::FindCommand(int32_t id) {
    for (TOffscreenMenuItem& item : Items)
        if (!item.Separator && item.Id == id) return &item;
    return nullptr;
}

void TOffscreenMenu::SetItemEnabled(int32_t id, bool flag) {
    if (TOffscreenMenuItem* item = FindCommand(id)) item->Enabled = flag;
}

void TOffscreenMenu::SetItemChecked(int32_t id, bool flag) {
    if (TOffscreenMenuItem* item = FindCommand(id)) item->Checked = flag;
}

bool TOffscreenMenu::GetItemChecked(int32_t id) {
    const TOffscreenMenuItem* item = FindCommand(id);
    return item && item->Checked;
}

void TOffscreenMenu::Popup() { PoppedUp = true; }

void TOffscreenTrayIcon::SetVisible(bool flag) { Visible = flag; }
void TOffscreenTrayIcon::SetIcon(TPlatformSurface* icon) { HasIcon = icon != nullptr; }
void TOffscreenTrayIcon::SetTip(const std::u16string& text) { Tip = text; }

void TOffscreenTrayIcon::ShowBalloon(const std::u16string& title, const std::u16string& text,
                                     int32_t iconKind) {
    BalloonTitle = title;
    BalloonText = text;
    BalloonIcon = iconKind;
    BalloonShown = true;
}

void TOffscreenTrayIcon::HideBalloon() { BalloonShown = false; }

TOffscreenPrintJob::TOffscreenPrintJob(int32_t printerIndex, const std::u16string& title,
                                       bool landscape, int32_t copies,
                                       const std::u16string& outputFile)
    : PageWidthValue(landscape ? kA4LongSide : kA4ShortSide),
      PageHeightValue(landscape ? kA4ShortSide : kA4LongSide),
      Title(title),
      PrinterIndex(printerIndex),
      Landscape(landscape),
      Copies(copies),
      OutputFile(outputFile) {}

int32_t TOffscreenPrintJob::PageWidth() { return PageWidthValue; }
int32_t TOffscreenPrintJob::PageHeight() { return PageHeightValue; }
int32_t TOffscreenPrintJob::DpiX() { return Dpi; }
int32_t TOffscreenPrintJob::DpiY() { return Dpi; }

TRef<TPlatformCanvas> TOffscreenPrintJob::BeginPage() {
    CurrentPage = nullptr;
    TPlatformServices* services = CurrentPlatformServices();
    if (!services) return nullptr;
    CurrentPage = services->CreateSurface(PageWidthValue, PageHeightValue, false);
    if (!CurrentPage) return nullptr;
    TRef<TPlatformCanvas> canvas = CurrentPage->CreateCanvas();
    if (canvas) canvas->FillRect(0, 0, PageWidthValue, PageHeightValue, kWhite);
    return canvas;
}

void TOffscreenPrintJob::EndPage() {
    if (!CurrentPage) return;
    Pages.push_back(CurrentPage);
    CurrentPage = nullptr;
}

void TOffscreenPrintJob::EndJob() { Ended = true; }
void TOffscreenPrintJob::Abort() { Aborted = true; }

} // namespace Zyl
