#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Zyl.Platform.h"
#include "Zyl.Test.Memory.h"
#include "Zyl.Test.Text.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

// Overrides nothing: every operation is the base class's.
class TBareApp : public TPlatformApp {};

} // namespace

// --- Abstract operations ----------------------------------------------------

TEST(PlatformAbstract, TheMessageNamesTheOperationAndItsDeclaringClass) {
    TBareApp app;
    try {
        app.Run();
        FAIL() << "Run returned";
    } catch (const System::EAbstractError& e) {
        EXPECT_EQ(Narrow(e.Message), "O método \"Run\" da classe \"TPlatformApp\" não foi implementado");
    }
}

TEST(PlatformAbstract, EveryAbstractOperationRaisesNamingItsDeclaringClass) {
    TBareApp app;
    TPlatformWindow window;
    TPlatformMenu menu;
    TPlatformControl control;
    TPlatformCanvas canvas;
    TPlatformSurface surface;
    TPlatformServices services;
    TPlatformPrintJob job;
    std::u16string text;
    int32_t a = 0, b = 0, c = 0, d = 0, e = 0, f = 0, g = 0;
    const TPlatformPoint points[4] = {};
    struct Row {
        const char16_t* className;
        const char16_t* method;
        std::function<void()> call;
    } rows[] = {
        {u"TPlatformApp", u"Run", [&] { app.Run(); }},
        {u"TPlatformApp", u"Quit", [&] { app.Quit(); }},
        {u"TPlatformApp", u"AddTimer", [&] { app.AddTimer(10, [] {}); }},
        {u"TPlatformApp", u"RemoveTimer", [&] { app.RemoveTimer(1); }},
        {u"TPlatformApp", u"ProcessMessages", [&] { app.ProcessMessages(); }},
        {u"TPlatformApp", u"CreateWindow", [&] { app.CreateWindow(); }},
        {u"TPlatformApp", u"CreateCustomControl", [&] { app.CreateCustomControl(); }},
        {u"TPlatformApp", u"CreateButton", [&] { app.CreateButton(); }},
        {u"TPlatformApp", u"CreateEdit", [&] { app.CreateEdit(); }},
        {u"TPlatformApp", u"CreateCheckBox", [&] { app.CreateCheckBox(); }},
        {u"TPlatformApp", u"CreateMemo", [&] { app.CreateMemo(); }},
        {u"TPlatformApp", u"CreateListBox", [&] { app.CreateListBox(); }},
        {u"TPlatformApp", u"CreateComboBox", [&] { app.CreateComboBox(); }},
        {u"TPlatformApp", u"CreateTabControl", [&] { app.CreateTabControl(); }},
        {u"TPlatformApp", u"CreateListView", [&] { app.CreateListView(); }},
        {u"TPlatformApp", u"CreateTreeView", [&] { app.CreateTreeView(); }},
        {u"TPlatformApp", u"CreateStatusBar", [&] { app.CreateStatusBar(); }},
        {u"TPlatformApp", u"CreateToolBar", [&] { app.CreateToolBar(); }},
        {u"TPlatformApp", u"CreateMenu", [&] { app.CreateMenu(true); }},
        {u"TPlatformApp", u"MessageBox", [&] { app.MessageBox(nullptr, u"t", u"x", 0, 0); }},
        {u"TPlatformApp", u"FileDialog", [&] { app.FileDialog(nullptr, u"t", false, u"", text); }},
        {u"TPlatformApp", u"ColorDialog", [&] { app.ColorDialog(nullptr, nullptr, a); }},
        {u"TPlatformApp", u"FontDialog", [&] { app.FontDialog(nullptr, nullptr, text, a, b); }},
        {u"TPlatformWindow", u"SetTitle", [&] { window.SetTitle(u"t"); }},
        {u"TPlatformWindow", u"SetSize", [&] { window.SetSize(1, 1); }},
        {u"TPlatformWindow", u"Show", [&] { window.Show(); }},
        {u"TPlatformWindow", u"Hide", [&] { window.Hide(); }},
        {u"TPlatformWindow", u"Invalidate", [&] { window.Invalidate(); }},
        {u"TPlatformWindow", u"AddChild", [&] { window.AddChild(&control, 0, 0); }},
        {u"TPlatformWindow", u"SetMainMenu", [&] { window.SetMainMenu(&menu); }},
        {u"TPlatformMenu", u"AddItem", [&] { menu.AddItem(0, u"c", 1); }},
        {u"TPlatformMenu", u"AddCheckItem", [&] { menu.AddCheckItem(0, u"c", 1); }},
        {u"TPlatformMenu", u"AddSeparator", [&] { menu.AddSeparator(0); }},
        {u"TPlatformMenu", u"SetItemEnabled", [&] { menu.SetItemEnabled(1, true); }},
        {u"TPlatformMenu", u"SetItemChecked", [&] { menu.SetItemChecked(1, true); }},
        {u"TPlatformMenu", u"GetItemChecked", [&] { menu.GetItemChecked(1); }},
        {u"TPlatformMenu", u"Popup", [&] { menu.Popup(); }},
        {u"TPlatformControl", u"SetBounds", [&] { control.SetBounds(0, 0, 1, 1); }},
        {u"TPlatformControl", u"GetBounds", [&] { control.GetBounds(a, b, c, d); }},
        {u"TPlatformControl", u"SetVisible", [&] { control.SetVisible(true); }},
        {u"TPlatformControl", u"SetEnabled", [&] { control.SetEnabled(true); }},
        {u"TPlatformControl", u"SetFocus", [&] { control.SetFocus(); }},
        {u"TPlatformControl", u"Invalidate", [&] { control.Invalidate(); }},
        {u"TPlatformControl", u"AddChild", [&] { control.AddChild(&control, 0, 0); }},
        // A default that calls an abstract operation raises for that one.
        {u"TPlatformControl", u"SetVisible", [&] { control.RemoveFromParent(); }},
        {u"TPlatformCanvas", u"Save", [&] { canvas.Save(); }},
        {u"TPlatformCanvas", u"Restore", [&] { canvas.Restore(); }},
        {u"TPlatformCanvas", u"SetPen", [&] { canvas.SetPen(0, 1, 0); }},
        {u"TPlatformCanvas", u"SetBrush", [&] { canvas.SetBrush(0, 0); }},
        {u"TPlatformCanvas", u"SetFont", [&] { canvas.SetFont(u"f", -12, 0, 0); }},
        {u"TPlatformCanvas", u"SetBackground", [&] { canvas.SetBackground(0, true); }},
        {u"TPlatformCanvas", u"SetRop2", [&] { canvas.SetRop2(RasterXor); }},
        {u"TPlatformCanvas", u"SetOrigin", [&] { canvas.SetOrigin(0, 0); }},
        {u"TPlatformCanvas", u"GetOrigin", [&] { canvas.GetOrigin(a, b); }},
        {u"TPlatformCanvas", u"ClipRect", [&] { canvas.ClipRect(0, 0, 1, 1); }},
        {u"TPlatformCanvas", u"ClipExclude", [&] { canvas.ClipExclude(0, 0, 1, 1); }},
        {u"TPlatformCanvas", u"ResetClip", [&] { canvas.ResetClip(); }},
        {u"TPlatformCanvas", u"GetClipBox", [&] { canvas.GetClipBox(a, b, c, d); }},
        {u"TPlatformCanvas", u"LineTo", [&] { canvas.LineTo(1, 1); }},
        {u"TPlatformCanvas", u"Rectangle", [&] { canvas.Rectangle(0, 0, 1, 1); }},
        {u"TPlatformCanvas", u"RoundRect", [&] { canvas.RoundRect(0, 0, 1, 1, 2, 2); }},
        {u"TPlatformCanvas", u"Ellipse", [&] { canvas.Ellipse(0, 0, 1, 1); }},
        {u"TPlatformCanvas", u"Arc", [&] { canvas.Arc(0, 0, 1, 1, 0, 0, 1, 1); }},
        {u"TPlatformCanvas", u"Chord", [&] { canvas.Chord(0, 0, 1, 1, 0, 0, 1, 1); }},
        {u"TPlatformCanvas", u"Pie", [&] { canvas.Pie(0, 0, 1, 1, 0, 0, 1, 1); }},
        {u"TPlatformCanvas", u"Polyline", [&] { canvas.Polyline(points, 4, 1); }},
        {u"TPlatformCanvas", u"Polygon", [&] { canvas.Polygon(points, 4, 2, false); }},
        {u"TPlatformCanvas", u"PolyBezier", [&] { canvas.PolyBezier(points, 4, 3); }},
        {u"TPlatformCanvas", u"FillRect", [&] { canvas.FillRect(0, 0, 1, 1, 0); }},
        {u"TPlatformCanvas", u"FillRectBrush", [&] { canvas.FillRectBrush(0, 0, 1, 1); }},
        {u"TPlatformCanvas", u"FrameRect", [&] { canvas.FrameRect(0, 0, 1, 1); }},
        {u"TPlatformCanvas", u"DrawFocusRect", [&] { canvas.DrawFocusRect(0, 0, 1, 1); }},
        {u"TPlatformCanvas", u"SetPixel", [&] { canvas.SetPixel(0, 0, 0); }},
        {u"TPlatformCanvas", u"GetPixel", [&] { canvas.GetPixel(0, 0); }},
        {u"TPlatformCanvas", u"FloodFill", [&] { canvas.FloodFill(0, 0, 0, true); }},
        {u"TPlatformCanvas", u"TextOut", [&] { canvas.TextOut(0, 0, u"t"); }},
        {u"TPlatformCanvas", u"TextRect", [&] { canvas.TextRect(0, 0, 1, 1, 0, 0, u"t", true); }},
        {u"TPlatformCanvas", u"TextExtent", [&] { canvas.TextExtent(u"t", a, b); }},
        {u"TPlatformCanvas", u"FontMetrics", [&] { canvas.FontMetrics(a, b, c, d, e, f, g); }},
        {u"TPlatformCanvas", u"DrawSurfaceEx",
         [&] { canvas.DrawSurfaceEx(&surface, 0, 0, 1, 1, 0, 0, 1, 1, RopSourceCopy, 255, false); }},
        {u"TPlatformCanvas", u"DrawSurfaceTransparent",
         [&] { canvas.DrawSurfaceTransparent(&surface, 0, 0, 1, 1, 0, 0, 1, 1, 0); }},
        {u"TPlatformSurface", u"Width", [&] { surface.Width(); }},
        {u"TPlatformSurface", u"Height", [&] { surface.Height(); }},
        {u"TPlatformSurface", u"HasAlpha", [&] { surface.HasAlpha(); }},
        {u"TPlatformSurface", u"CreateCanvas", [&] { surface.CreateCanvas(); }},
        {u"TPlatformSurface", u"Bits", [&] { surface.Bits(); }},
        {u"TPlatformSurface", u"Stride", [&] { surface.Stride(); }},
        {u"TPlatformSurface", u"CreateCompatible", [&] { surface.CreateCompatible(1, 1, false); }},
        {u"TPlatformSurface", u"SaveToPng", [&] { surface.SaveToPng(u"x.png"); }},
        {u"TPlatformSurface", u"PixelAt", [&] { surface.PixelAt(0, 0); }},
        {u"TPlatformSurface", u"AlphaAt", [&] { surface.AlphaAt(0, 0); }},
        {u"TPlatformSurface", u"NativeHandle", [&] { surface.NativeHandle(); }},
        {u"TPlatformServices", u"CreateSurface", [&] { services.CreateSurface(1, 1, false); }},
        {u"TPlatformServices", u"LoadPngFile", [&] { services.LoadPngFile(u"x.png"); }},
        {u"TPlatformServices", u"LoadPngMemory", [&] { services.LoadPngMemory(nullptr, 0); }},
        {u"TPlatformServices", u"SavePngMemory", [&] { services.SavePngMemory(&surface); }},
        {u"TPlatformPrintJob", u"PageWidth", [&] { job.PageWidth(); }},
        {u"TPlatformPrintJob", u"PageHeight", [&] { job.PageHeight(); }},
        {u"TPlatformPrintJob", u"DpiX", [&] { job.DpiX(); }},
        {u"TPlatformPrintJob", u"DpiY", [&] { job.DpiY(); }},
        {u"TPlatformPrintJob", u"BeginPage", [&] { job.BeginPage(); }},
        {u"TPlatformPrintJob", u"EndPage", [&] { job.EndPage(); }},
        {u"TPlatformPrintJob", u"EndJob", [&] { job.EndJob(); }},
        {u"TPlatformPrintJob", u"Abort", [&] { job.Abort(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.className) + "." + Narrow(row.method));
        try {
            row.call();
            ADD_FAILURE() << "returned";
        } catch (const System::EAbstractError& error) {
            EXPECT_EQ(error.ClassName, row.className);
            EXPECT_EQ(error.MethodName, row.method);
            EXPECT_EQ(error.Message, u"O método \"" + std::u16string(row.method) + u"\" da classe \"" +
                                         row.className + u"\" não foi implementado");
        }
    }
}

// --- Defaults ---------------------------------------------------------------

TEST(PlatformDefaults, TheDefaultsThatAnswerSomething) {
    TBareApp app;
    TPlatformWindow window;
    TPlatformControl control;
    TPlatformEvents events;
    TPlatformServices services;
    TPlatformTrayIcon tray;
    int32_t l = 7, t = 7, r = 7, b = 7;
    struct Row {
        const char* name;
        int64_t got, expected;
    } rows[] = {
        {"DefaultPrinterIndex", app.DefaultPrinterIndex(), -1},
        {"PrinterCount", app.PrinterCount(), 0},
        {"TickCount", app.TickCount(), 0},
        {"ScreenWidth", app.ScreenWidth(), 1280},
        {"ScreenHeight", app.ScreenHeight(), 800},
        {"HasDisplay", app.HasDisplay(), 0},
        {"GetItemIndex", control.GetItemIndex(), -1},
        {"AddItem", control.AddItem(u"x"), -1},
        {"GetItemHeight", control.GetItemHeight(), 16},
        {"GetLineCount", control.GetLineCount(), 1},
        {"GetCursor", control.GetCursor(), CursorArrow},
        {"DefaultCursor", control.DefaultCursor(true), CursorArrow},
        {"Reserved61", control.Reserved61(), -1},
        {"Reserved68", control.Reserved68(), 0},
        {"Reserved71", control.Reserved71(), -1},
        {"Reserved124", control.Reserved124(), -1},
        {"Reserved126", control.Reserved126(), -1},
        {"GetWindowState", window.GetWindowState(), WindowStateNormal},
        {"ScreenDpi", services.ScreenDpi(), 96},
        {"DefaultFontSize", services.DefaultFontSize(), 9},
        {"KeyPress", events.KeyPress(u'q'), u'q'},
        {"KeyPress 0", events.KeyPress(0), 0},
        {"CloseQuery", events.CloseQuery(), 1},
        {"TakeKeyHandled", events.TakeKeyHandled(PlatformKeyReturn, ShiftStateCtrl), 0},
        {"Reserved42", events.Reserved42(), 1},
        {"Reserved45", events.Reserved45(), 0},
    };
    for (const Row& row : rows) EXPECT_EQ(row.got, row.expected) << row.name;
    EXPECT_EQ(services.DefaultFontName(), u"Segoe UI");
    EXPECT_EQ(services.MonospaceFontName(), u"Courier New");
    EXPECT_EQ(app.PrinterName(0), u"");
    EXPECT_EQ(app.CreateScrollBar(), nullptr);
    EXPECT_EQ(app.CreateTrayIcon(), nullptr);
    EXPECT_EQ(app.BeginPrintJob(0, u"t", false, 1, u""), nullptr);
    app.GetWorkArea(5, 5, l, t, r, b);
    EXPECT_EQ((std::vector<int32_t>{l, t, r, b}), (std::vector<int32_t>{0, 0, 1280, 800}));
    window.GetClientOrigin(l, t);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(control.GetWindow(), nullptr);
    tray.ShowBalloon(u"t", u"x", 0);
    window.SetFrameTheme(true, -1, -1, -1);
}

// --- Defaults that call other operations ------------------------------------

namespace {

// Records the calls a default makes on the operations it relies on.
class TRecordingApp : public TPlatformApp {
public:
    std::vector<std::string> Calls;
    std::u16string Clipboard;
    TRef<TPlatformControl> CheckBox = MakeRef<TPlatformControl>();
    int32_t Width = 1920, Height = 1080;

    std::u16string GetClipboardText() override {
        Calls.push_back("GetClipboardText");
        return Clipboard;
    }
    TRef<TPlatformControl> CreateCheckBox() override { return CheckBox; }
    int32_t ScreenWidth() override { return Width; }
    int32_t ScreenHeight() override { return Height; }
    bool FileDialog(TPlatformWindow* Owner, const std::u16string& Title, bool Save, const std::u16string& InitialPath,
                    std::u16string& FileName) override {
        Calls.push_back("FileDialog " + std::string(Owner ? "owner " : "") + Narrow(Title) + (Save ? " save " : " open ") +
                        Narrow(InitialPath));
        FileName = u"C:\\escolhido.txt";
        return true;
    }
};

} // namespace

TEST(PlatformVirtualCalls, HasClipboardTextFollowsAnOverriddenGetClipboardText) {
    TRecordingApp app;
    app.ClipboardText = u"no campo";
    EXPECT_FALSE(app.HasClipboardText());
    app.Clipboard = u"sobrescrito";
    app.ClipboardText.clear();
    EXPECT_TRUE(app.HasClipboardText());
    EXPECT_EQ(app.Calls.size(), 2u);
}

TEST(PlatformVirtualCalls, CreateRadioButtonReturnsWhatCreateCheckBoxReturned) {
    TRecordingApp app;
    EXPECT_EQ(app.CreateRadioButton(), app.CheckBox);
}

TEST(PlatformVirtualCalls, WorkAreaFollowsTheOverriddenScreenSize) {
    TRecordingApp app;
    int32_t l, t, r, b;
    app.GetWorkArea(0, 0, l, t, r, b);
    EXPECT_EQ((std::vector<int32_t>{l, t, r, b}), (std::vector<int32_t>{0, 0, 1920, 1080}));
}

TEST(PlatformVirtualCalls, FileDialogsPassTheFileNameOrElseTheInitialFolder) {
    TRecordingApp app;
    TPlatformWindow owner;
    int32_t filterIndex = 3;
    std::u16string result;
    struct Row {
        int32_t kind;
        std::u16string fileName, initialDir;
        bool confirmed;
        std::string call;  // empty: no call
    } rows[] = {
        {FileDialogOpen, u"a.txt", u"C:\\pasta", true, "FileDialog owner Abrir open a.txt"},
        {FileDialogOpen, u"", u"C:\\pasta", true, "FileDialog owner Abrir open C:\\pasta"},
        {FileDialogSave, u"b.txt", u"", true, "FileDialog owner Abrir save b.txt"},
        {7, u"c.txt", u"", true, "FileDialog owner Abrir open c.txt"},
        {FileDialogFolder, u"d", u"C:\\", false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        app.Calls.clear();
        result = u"antes";
        EXPECT_EQ(app.RunFileDialog(&owner, u"Abrir", row.kind, FileDialogMultiSelect, row.fileName, row.initialDir,
                                    u"Texto|*.txt", u"txt", filterIndex, result),
                  row.confirmed);
        EXPECT_EQ(app.Calls, row.call.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.call});
        EXPECT_EQ(result, row.confirmed ? u"C:\\escolhido.txt" : u"antes");
        EXPECT_EQ(filterIndex, 3);
    }
}

namespace {

class TRecordingControl : public TPlatformControl {
public:
    std::vector<std::string> Calls;
    void SetVisible(bool Visible) override { Calls.push_back(Visible ? "SetVisible 1" : "SetVisible 0"); }
    void SetListOption(int32_t Value) override { Calls.push_back("SetListOption " + std::to_string(Value)); }
    void SetSorted(bool Value) override { Calls.push_back("SetSorted " + std::to_string(Value)); }
    void SetAlignment(int32_t Value) override { Calls.push_back("SetAlignment " + std::to_string(Value)); }
    void SetEditOption(int32_t Value) override { Calls.push_back("SetEditOption " + std::to_string(Value)); }
    void SetEditFlag(bool Value) override { Calls.push_back("SetEditFlag " + std::to_string(Value)); }
    void SetEditFlag2(bool Value) override { Calls.push_back("SetEditFlag2 " + std::to_string(Value)); }
};

class TPageJob : public TPlatformPrintJob {
public:
    int32_t PageWidth() override { return 4960; }
    int32_t PageHeight() override { return 7016; }
};

class TPositionedWindow : public TPlatformWindow {
public:
    void GetPosition(int32_t& X, int32_t& Y) override { X = 100, Y = -20; }
};

} // namespace

TEST(PlatformVirtualCalls, RemoveFromParentOnlyHidesTheControl) {
    TRecordingControl control;
    control.RemoveFromParent();
    EXPECT_EQ(control.Calls, std::vector<std::string>{"SetVisible 0"});
}

TEST(PlatformVirtualCalls, TheControlLayersNamesReachTheSameOperations) {
    TRecordingControl control;
    control.SetItemHeight(22);
    control.SetOwnerDraw(true);
    control.SetCharCase(1);
    control.SetTextAlignment(2);
    control.SetNumbersOnly(true);
    control.SetHideSelection(false);
    EXPECT_EQ(control.Calls, (std::vector<std::string>{"SetListOption 22", "SetSorted 1", "SetAlignment 1",
                                                       "SetEditOption 2", "SetEditFlag 1", "SetEditFlag2 0"}));
}

TEST(PlatformVirtualCalls, PhysicalSizeIsThePageSizeAndTheOffsetsZero) {
    TPageJob job;
    EXPECT_EQ(job.PhysicalWidth(), 4960);
    EXPECT_EQ(job.PhysicalHeight(), 7016);
    EXPECT_EQ(job.PhysicalOffsetX(), 0);
    EXPECT_EQ(job.PhysicalOffsetY(), 0);
}

TEST(PlatformVirtualCalls, ClientOriginFollowsAnOverriddenPosition) {
    TPositionedWindow window;
    int32_t x = 0, y = 0;
    window.GetClientOrigin(x, y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, -20);
}

TEST(PlatformVirtualCalls, MoveToSetsThePenPositionOnAnyCanvas) {
    TPlatformCanvas canvas;
    EXPECT_EQ(canvas.PenX, 0);
    canvas.MoveTo(-3, 9);
    EXPECT_EQ(canvas.PenX, -3);
    EXPECT_EQ(canvas.PenY, 9);
    canvas.SetTextAngle(900);  // no effect, no raise
    EXPECT_EQ(canvas.GetSurface(), nullptr);
}

TEST(PlatformVirtualCalls, HandleExceptionReturnsTheHandlersResultOrZero) {
    TBareApp app;
    const System::Exception error(u"falhou");
    EXPECT_EQ(app.HandleException(error), 0);
    std::u16string seen;
    app.SetExceptionHandler([&seen](const System::Exception& E) {
        seen = E.Message;
        return 7;
    });
    EXPECT_EQ(app.HandleException(error), 7);
    EXPECT_EQ(seen, u"falhou");
    app.SetExceptionHandler(nullptr);
    EXPECT_EQ(app.HandleException(error), 0);
}

TEST(PlatformVirtualCalls, EventSinksTakeBothCallerShapesOfKeyDownAndTakeKeyHandled) {
    struct TSink : TPlatformEvents {
        std::vector<int32_t> Seen;
        void KeyDown(int32_t Key, int32_t Shift, int32_t Extra = 0) override { Seen = {Key, Shift, Extra}; }
        bool TakeKeyHandled(int32_t Key = 0, int32_t Shift = 0) override { return Key == PlatformKeyTab && Shift == 0; }
    } sink;
    TPlatformEvents& events = sink;
    events.KeyDown(PlatformKeyF1, ShiftStateShift);
    EXPECT_EQ(sink.Seen, (std::vector<int32_t>{0xFFBE, 1, 0}));
    events.KeyDown(PlatformKeyKeypadEnter, ShiftStateAlt, 5);
    EXPECT_EQ(sink.Seen, (std::vector<int32_t>{0xFF8D, 8, 5}));
    EXPECT_TRUE(events.TakeKeyHandled(PlatformKeyTab, 0));
    EXPECT_FALSE(events.TakeKeyHandled());
}

// --- Value sets -------------------------------------------------------------

TEST(PlatformValues, EveryValueSetHasItsNumbers) {
    struct Row {
        const char* name;
        int32_t value, expected;
    } rows[] = {
        {"Backspace", PlatformKeyBackspace, 0xFF08}, {"Tab", PlatformKeyTab, 0xFF09},
        {"Return", PlatformKeyReturn, 0xFF0D},       {"Escape", PlatformKeyEscape, 0xFF1B},
        {"Home", PlatformKeyHome, 0xFF50},           {"Left", PlatformKeyLeft, 0xFF51},
        {"Up", PlatformKeyUp, 0xFF52},               {"Right", PlatformKeyRight, 0xFF53},
        {"Down", PlatformKeyDown, 0xFF54},           {"PageUp", PlatformKeyPageUp, 0xFF55},
        {"PageDown", PlatformKeyPageDown, 0xFF56},   {"End", PlatformKeyEnd, 0xFF57},
        {"Insert", PlatformKeyInsert, 0xFF63},       {"KeypadEnter", PlatformKeyKeypadEnter, 0xFF8D},
        {"F1", PlatformKeyF1, 0xFFBE},               {"F12", PlatformKeyF12, 0xFFC9},
        {"F4", PlatformKeyF1 + 3, 0xFFC1},           {"Shift", PlatformKeyShift, 0xFFE1},
        {"Ctrl", PlatformKeyCtrl, 0xFFE3},           {"Alt", PlatformKeyAlt, 0xFFE9},
        {"Delete", PlatformKeyDelete, 0xFFFF},       {"Space", PlatformKeySpace, 0x20},
        {"Quote", PlatformKeyQuote, 0x27},           {"Comma", PlatformKeyComma, 0x2C},
        {"Minus", PlatformKeyMinus, 0x2D},           {"Period", PlatformKeyPeriod, 0x2E},
        {"Slash", PlatformKeySlash, 0x2F},           {"0", PlatformKey0, '0'},
        {"Semicolon", PlatformKeySemicolon, 0x3B},   {"Equals", PlatformKeyEquals, 0x3D},
        {"LeftBracket", PlatformKeyLeftBracket, 0x5B}, {"Backslash", PlatformKeyBackslash, 0x5C},
        {"RightBracket", PlatformKeyRightBracket, 0x5D}, {"BackQuote", PlatformKeyBackQuote, 0x60},
        {"A", PlatformKeyA, 'a'},                    {"Z", PlatformKeyZ, 'z'},
        {"ShiftState Shift", ShiftStateShift, 1},    {"ShiftState Ctrl", ShiftStateCtrl, 4},
        {"ShiftState Alt", ShiftStateAlt, 8},        {"MouseLeft", MouseButtonLeft, 1},
        {"MouseMiddle", MouseButtonMiddle, 2},       {"MouseRight", MouseButtonRight, 3},
        {"CursorArrow", CursorArrow, 0},             {"CursorIBeam", CursorIBeam, 1},
        {"CursorHand", CursorHand, 2},               {"CursorWait", CursorWait, 3},
        {"CursorCross", CursorCross, 4},             {"CursorSizeWE", CursorSizeWE, 5},
        {"CursorSizeNS", CursorSizeNS, 6},           {"CursorSizeAll", CursorSizeAll, 7},
        {"CursorNotAllowed", CursorNotAllowed, 8},   {"CursorNone", CursorNone, 9},
        {"CursorSizeNWSE", CursorSizeNWSE, 10},      {"CursorSizeNESW", CursorSizeNESW, 11},
        {"MouseLeavePoint", MouseLeavePoint, -10000}, {"WheelDeltaNotch", WheelDeltaNotch, 120},
        {"BorderNone", BorderStyleNone, 0},          {"BorderSingle", BorderStyleSingle, 1},
        {"BorderSizeable", BorderStyleSizeable, 2},  {"BorderDialog", BorderStyleDialog, 3},
        {"BorderToolWindow", BorderStyleToolWindow, 4}, {"StateNormal", WindowStateNormal, 0},
        {"StateMinimized", WindowStateMinimized, 1}, {"StateMaximized", WindowStateMaximized, 2},
        {"KindInformation", MessageKindInformation, 0}, {"KindWarning", MessageKindWarning, 1},
        {"KindQuestion", MessageKindQuestion, 2},    {"KindError", MessageKindError, 3},
        {"ButtonsOk", MessageButtonsOk, 0},          {"ButtonsOkCancel", MessageButtonsOkCancel, 1},
        {"ButtonsYesNo", MessageButtonsYesNo, 2},    {"ResultOk", MessageResultOk, 1},
        {"ResultCancel", MessageResultCancel, 2},    {"ResultYes", MessageResultYes, 3},
        {"ResultNo", MessageResultNo, 4},            {"DialogOpen", FileDialogOpen, 0},
        {"DialogSave", FileDialogSave, 1},           {"DialogFolder", FileDialogFolder, 2},
        {"MultiSelect", FileDialogMultiSelect, 1},   {"OverwritePrompt", FileDialogOverwritePrompt, 2},
        {"FileMustExist", FileDialogFileMustExist, 4}, {"PathMustExist", FileDialogPathMustExist, 8},
        {"HideReadOnly", FileDialogHideReadOnly, 16}, {"NoChangeDir", FileDialogNoChangeDir, 32},
        {"Bold", FontStyleBold, 1},                  {"Italic", FontStyleItalic, 2},
        {"Underline", FontStyleUnderline, 4},        {"StrikeOut", FontStyleStrikeOut, 8},
        {"PenSolid", PenStyleSolid, 0},              {"PenDash", PenStyleDash, 1},
        {"PenDot", PenStyleDot, 2},                  {"PenDashDot", PenStyleDashDot, 3},
        {"PenDashDotDot", PenStyleDashDotDot, 4},    {"PenClear", PenStyleClear, 5},
        {"BrushSolid", BrushStyleSolid, 0},          {"BrushClear", BrushStyleClear, 1},
        {"BrushHorizontal", BrushStyleHorizontal, 2}, {"BrushVertical", BrushStyleVertical, 3},
        {"BrushFDiagonal", BrushStyleFDiagonal, 4},  {"BrushBDiagonal", BrushStyleBDiagonal, 5},
        {"BrushCross", BrushStyleCross, 6},          {"BrushDiagCross", BrushStyleDiagCross, 7},
        {"Black", RasterBlack, 0},                   {"White", RasterWhite, 1},
        {"Nop", RasterNop, 2},                       {"Not", RasterNot, 3},
        {"Copy", RasterCopy, 4},                     {"NotCopy", RasterNotCopy, 5},
        {"MergePenNot", RasterMergePenNot, 6},       {"MaskPenNot", RasterMaskPenNot, 7},
        {"MergeNotPen", RasterMergeNotPen, 8},       {"MaskNotPen", RasterMaskNotPen, 9},
        {"Merge", RasterMerge, 10},                  {"NotMerge", RasterNotMerge, 11},
        {"Mask", RasterMask, 12},                    {"NotMask", RasterNotMask, 13},
        {"Xor", RasterXor, 14},                      {"NotXor", RasterNotXor, 15},
        {"SourceCopy", RopSourceCopy, 0xCC0020},     {"ItemSelected", DrawItemSelected, 1},
        {"ItemFocused", DrawItemFocused, 2},         {"ItemDisabled", DrawItemDisabled, 4},
    };
    for (const Row& row : rows) EXPECT_EQ(row.value, row.expected) << row.name;
}

// --- Clipboard image --------------------------------------------------------

namespace {

constexpr uint8_t kSourcePadding = 0xEE;

class ClipboardImage : public ::testing::Test {
protected:
    void SetUp() override {
        services_->RowPadding = 4;  // copies are padded otherwise than the source
        source_->FillWith([](int32_t x, int32_t y) { return 0x80000000u | uint32_t(x) << 8 | uint32_t(y); });
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t i = 12; i < 20; ++i) source_->Memory()[y * 20 + i] = kSourcePadding;
    }

    static bool SameImage(TMemorySurface& a, TMemorySurface& b) {
        if (a.Width() != b.Width() || a.Height() != b.Height() || a.HasAlpha() != b.HasAlpha()) return false;
        for (int32_t y = 0; y < a.Height(); ++y)
            for (int32_t x = 0; x < a.Width(); ++x)
                if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
        return true;
    }
    static TMemorySurface& Memory(const TRef<TPlatformSurface>& surface) {
        return static_cast<TMemorySurface&>(*surface);
    }
    int FinishCalls() const {
        int count = 0;
        for (const std::string& call : services_->Calls) count += call.rfind("FinishDrawing", 0) == 0;
        return count;
    }

    TRef<TMemoryServices> services_ = MakeRef<TMemoryServices>();
    TScopedPlatformServices install_{services_};
    // 3 × 2 with alpha, rows of 20 bytes whose last 8 hold a sentinel.
    TRef<TMemorySurface> source_ = MakeRef<TMemorySurface>(3, 2, true, 20);
    TBareApp app_;
};

} // namespace

TEST_F(ClipboardImage, IsCopiedRowByRowWithoutThePaddingAndFinishedOnce) {
    app_.SetClipboardImage(source_.Get());
    ASSERT_TRUE(app_.HasClipboardImage());
    EXPECT_NE(app_.ClipboardImage.Get(), source_.Get());
    TMemorySurface& stored = Memory(app_.ClipboardImage);
    EXPECT_EQ(stored.Stride(), 16);
    EXPECT_TRUE(SameImage(stored, *source_));
    EXPECT_TRUE(stored.PaddingIntact());
    EXPECT_EQ(stored.FinishDrawingCount, 1);
    EXPECT_EQ(FinishCalls(), 1);

    const TRef<TPlatformSurface> got = app_.GetClipboardImage();
    ASSERT_NE(got, nullptr);
    EXPECT_NE(got, app_.ClipboardImage);
    EXPECT_TRUE(SameImage(Memory(got), *source_));
    EXPECT_EQ(Memory(got).FinishDrawingCount, 1);
}

TEST_F(ClipboardImage, CopiesAreIndependentOfTheSourceAndOfEachOther) {
    app_.SetClipboardImage(source_.Get());
    const uint32_t original = source_->Pixel(1, 1);
    source_->SetPixelValue(1, 1, 0);
    const TRef<TPlatformSurface> got = app_.GetClipboardImage();
    EXPECT_EQ(Memory(got).Pixel(1, 1), original);
    Memory(got).SetPixelValue(0, 0, 0);
    EXPECT_EQ(Memory(app_.GetClipboardImage()).Pixel(0, 0), 0x80000000u);
}

TEST_F(ClipboardImage, StoringTheStoredImageItselfCopiesItBeforeReleasingIt) {
    app_.SetClipboardImage(source_.Get());
    app_.SetClipboardImage(app_.ClipboardImage.Get());
    ASSERT_TRUE(app_.HasClipboardImage());
    EXPECT_TRUE(SameImage(Memory(app_.ClipboardImage), *source_));
    const TRef<TPlatformSurface> got = app_.GetClipboardImage();
    app_.SetClipboardImage(got.Get());
    EXPECT_TRUE(SameImage(Memory(app_.ClipboardImage), *source_));
    EXPECT_EQ(services_->LiveSurfaces, 2);  // the stored image and got
}

TEST_F(ClipboardImage, NilAndClearLeaveNoImageAndClearTakesTheTextToo) {
    app_.SetClipboardImage(source_.Get());
    app_.SetClipboardImage(nullptr);
    EXPECT_FALSE(app_.HasClipboardImage());
    EXPECT_EQ(app_.GetClipboardImage(), nullptr);
    app_.SetClipboardImage(source_.Get());
    app_.SetClipboardText(u"texto");
    EXPECT_TRUE(app_.HasClipboardText());
    app_.ClearClipboard();
    EXPECT_FALSE(app_.HasClipboardImage());
    EXPECT_FALSE(app_.HasClipboardText());
    EXPECT_EQ(app_.GetClipboardText(), u"");
    EXPECT_EQ(services_->LiveSurfaces, 0);
}

TEST_F(ClipboardImage, WithoutServicesThereIsNoCopy) {
    app_.SetClipboardImage(source_.Get());
    TScopedPlatformServices none(nullptr);
    EXPECT_EQ(app_.GetClipboardImage(), nullptr);
    app_.SetClipboardImage(source_.Get());
    EXPECT_FALSE(app_.HasClipboardImage());
}

TEST_F(ClipboardImage, SurfacesWithoutPixelsOrNoSurfaceAtAllCopyNothing) {
    source_->NilBits = true;  // a source whose DIB section failed
    app_.SetClipboardImage(source_.Get());
    ASSERT_TRUE(app_.HasClipboardImage());
    EXPECT_EQ(Memory(app_.ClipboardImage).Pixel(0, 0), 0u);
    EXPECT_EQ(Memory(app_.ClipboardImage).FinishDrawingCount, 1);
    source_->NilBits = false;

    services_->NilBitsSurfaces = true;  // a copy whose DIB section failed
    app_.SetClipboardImage(source_.Get());
    EXPECT_TRUE(app_.HasClipboardImage());
    services_->NilBitsSurfaces = false;

    services_->FailCreateSurface = true;  // no copy could be made
    app_.SetClipboardImage(source_.Get());
    EXPECT_FALSE(app_.HasClipboardImage());
    EXPECT_EQ(app_.GetClipboardImage(), nullptr);
}
