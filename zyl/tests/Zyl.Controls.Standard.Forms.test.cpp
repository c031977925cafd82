// The text boxes on a real form: Enter goes to the form's default button
// unless the focused box wants it.
#include "Zyl.Forms.Harness.h"

#include <gtest/gtest.h>

using namespace Zyl;
using namespace Zyl::Testing;
using System::TRef;

TEST_F(FormsHarness, OnARealFormEnterClicksTheDefaultButtonFromAnEditButNotFromAMemoThatWantsReturns) {
    TRef<TForm> form = NewForm();
    auto ok = Add<ProbeButton>(form.Get(), 10, 10, 80, 24);
    ok->Default = true;
    auto edit = Add<TEdit>(form.Get(), 10, 40, 150, 23);
    auto memo = Add<TMemo>(form.Get(), 10, 70, 150, 60);
    auto refusing = Add<TMemo>(form.Get(), 10, 140, 150, 60);
    refusing->WantReturns = false;
    memo->Lines()->Add(u"um");
    form->Show();

    edit->SetFocus();
    Key(form.Get(), KeyEnter);
    EXPECT_EQ(ok->Clicks, 1);

    memo->SetFocus();
    Key(form.Get(), KeyEnter);
    EXPECT_EQ(ok->Clicks, 1);
    EXPECT_EQ(memo->GetText(), u"\num");  // the caret was at the start

    refusing->SetFocus();
    Key(form.Get(), KeyEnter);
    EXPECT_EQ(ok->Clicks, 2);
    EXPECT_EQ(refusing->GetText(), u"");
}
