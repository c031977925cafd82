// The forms' fixture: the soft canvas, a probe shell application under the
// real drawn application, Application with its hooks and idle timer, forms
// driven through their shell windows on the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Zyl.Forms.h"
#include "Zyl.Platform.Drawn.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Soft.h"

namespace Zyl::Testing {

// Key symbols of the platform layer.
constexpr int32_t KeyTab = 0xFF09, KeyEscape = 0xFF1B, KeyEnter = 0xFF0D;
// Modifier bits of the platform layer.
constexpr int32_t ModShift = 1, ModCtrl = 4, ModAlt = 8;

// Records every message box and answers with Answer; WhileOpen runs inside
// the box, as a modal loop would run handlers.
class ProbeShellApp : public TOffscreenApp {
public:
    struct TBox {
        std::u16string Caption, Text;
        int32_t Icon = -1, Buttons = -1;
        TPlatformWindow* Owner = nullptr;
    };
    std::vector<TBox> Boxes;
    int32_t Answer = 1;
    std::function<void()> WhileOpen;
    // Runs each time a handler lets the application process its messages,
    // as the user's input would arrive then.
    std::function<void()> WhileProcessing;

    void ProcessMessages() override {
        if (WhileProcessing) WhileProcessing();
    }

    int32_t MessageBox(TPlatformWindow* owner, const std::u16string& title, const std::u16string& text,
                       int32_t kind, int32_t buttons) override {
        Boxes.push_back({title, text, kind, buttons, owner});
        if (WhileOpen) WhileOpen();
        return Answer;
    }
};

// The one probe shell of the test program, made by the environment.
ProbeShellApp& Shell();

// Runs the forms unit's start-up once and initialises the application with
// the probe shell on the soft canvas.
class FormsEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

// A focusable custom control that counts its clicks and can answer as the
// default or the cancel button.
class ProbeButton : public TCustomControl {
public:
    explicit ProbeButton(System::TComponent* owner) : TCustomControl(owner) {
        TabStop = true;
        OnClick = [this](System::TObject*) { ++Clicks; };
    }
    bool Default = false, Cancel = false;
    int32_t Clicks = 0;
    bool IsDefaultButton() const override { return Default; }
    bool IsCancelButton() const override { return Cancel; }
};

class FormsHarness : public ::testing::Test {
protected:
    void SetUp() override;
    // Releases the test's forms, frees them and advances one idle tick.
    void TearDown() override;

    template <class F = TForm>
    System::TRef<F> NewForm(int32_t width = 320, int32_t height = 240) {
        System::TRef<F> form = Application->CreateForm<F>();
        form->SetBounds(form->Left(), form->Top(), width, height);
        forms_.push_back(form);
        return form;
    }
    template <class C>
    System::TRef<C> Add(TWinControl* parent, int32_t x, int32_t y, int32_t w, int32_t h) {
        auto control = System::MakeRef<C>(nullptr);
        control->SetBounds(x, y, w, h);
        control->SetParent(parent);
        return control;
    }
    // Drops a form the test made so that it can go before the end.
    void Forget(TCustomForm* form);

    static TOffscreenWindow* ShellOf(TCustomForm* form);
    static void Move(TCustomForm* form, int32_t x, int32_t y);
    static void Click(TCustomForm* form, int32_t x, int32_t y);
    static void Key(TCustomForm* form, int32_t key, int32_t shift = 0);
    static void Advance(int32_t ms) { Application->PlatformApp()->WaitForEvents(ms); }
    static void Render(TCustomForm* form);
    // 0xRRGGBB of the form's rendered surface.
    static int32_t Px(TCustomForm* form, int32_t x, int32_t y);
    // A palette entry as Px reports it.
    static int32_t C(int32_t index);

private:
    std::vector<System::TRef<TCustomForm>> forms_;
};

} // namespace Zyl::Testing
