// What the installer's two windows (the wizard and the uninstall window)
// share: a form that keeps every control its builders make alive, its
// fixed dialog frame, and the factories that make, keep and parent each
// control. The builders drop their own references at once; the form's keep
// list holds the controls as long as the form lives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KS.Widgets.h"
#include "Zyl.Controls.h"
#include "Zyl.Forms.h"

namespace KS {

class TKeptForm : public Zyl::TForm {
public:
    using TForm::TForm;

    std::vector<System::TRef<System::TObject>> KeepList;
    // Copied into the OnKeyDown of the memos, check boxes and the folder edit.
    Zyl::TKeyEvent ChildKeyDown;

    // One more reference each time, duplicates included.
    void Keep(System::TObject* object);

    // A control of the class made with the form as owner, kept and parented.
    template <class C>
    C* MakeKept(Zyl::TWinControl* parent) {
        System::TRef<C> control = System::MakeRef<C>(this);
        Keep(control.Get());
        control->SetParent(parent);
        return control.Get();
    }

    // Control factories: made with the form as owner, kept, parented, set
    // in the listed order. Bounds are within the parent's client area.
    static Zyl::TPanel* MakePanel(TKeptForm& form, Zyl::TWinControl* parent, uint8_t align, int32_t size);
    static Zyl::TLabel* MakeLabel(TKeptForm& form, Zyl::TWinControl* parent, const std::u16string& text,
                                  int32_t left, int32_t top, int32_t width, int32_t height);
    static TFlatButton* MakeButton(TKeptForm& form, Zyl::TWinControl* parent, const std::u16string& caption,
                                   int32_t left, int32_t top, int32_t width, System::TNotifyEvent onClick,
                                   bool primary, Zyl::TColor backColor);
    static TSlimProgress* MakeProgress(TKeptForm& form, Zyl::TWinControl* parent, int32_t left, int32_t top,
                                       int32_t width);
    static Zyl::TMemo* MakeMemo(TKeptForm& form, Zyl::TWinControl* parent, int32_t top, int32_t height);
    static TFlatCheck* MakeCheck(TKeptForm& form, Zyl::TWinControl* parent, const std::u16string& caption,
                                 int32_t left, int32_t top, int32_t width);

protected:
    // The constructors' frame: the installer's look, a dialog frame centred
    // on the work area, and a client area of exactly width x height
    // whatever the frame takes. Call inside a construction hold: the
    // setters notify the form.
    void SetUpInstallerFrame(int32_t clientWidth, int32_t clientHeight);
    // Lets the window catch up while the engine works inside a handler:
    // pending messages, then the forms released meanwhile.
    static void Pump();
};

} // namespace KS
