#include <gtest/gtest.h>

#include "platform/sim/SimMachine.h"
#include "platform/sim/SimUi.h"
#include "ui/StdCtrls.h"
#include "ui/TApplication.h"
#include "ui/TComboBox.h"
#include "ui/TForm.h"

namespace taskwell {
namespace {

struct FocusFixture {
    sim::SimMachine machine;
    sim::SimUi ui{machine};
    TApplication app{ui};
    TForm form{app};
    TForm other{app};
    TPanel& panel = form.Add<TPanel>();
    TComboBox& combo = panel.Add<TComboBox>();
    TButton& ok = form.Add<TButton>("OK");
    TEdit& foreign = other.Add<TEdit>();
};

TEST(FormFocus, TheActiveControlTakesTheFocusOnlyWhenItCan) {
    // Each case sets the form up and names the control that gets the focus (null: the form).
    struct Case {
        const char* name;
        void (*setUp)(FocusFixture&);
        TControl* (*expected)(FocusFixture&);
    };
    const Case cases[] = {
        {"none set", [](FocusFixture&) {}, nullptr},
        {"a control on a panel", [](FocusFixture& f) { f.form.ActiveControl = &f.combo; }, [](FocusFixture& f) -> TControl* { return &f.combo; }},
        {"a button on the form", [](FocusFixture& f) { f.form.ActiveControl = &f.ok; },
         [](FocusFixture& f) -> TControl* { return &f.ok; }},
        {"a control of another form",
         [](FocusFixture& f) { f.form.ActiveControl = &f.foreign; }, nullptr},
        {"the form itself", [](FocusFixture& f) { f.form.ActiveControl = &f.form; }, nullptr},
        {"a hidden control",
         [](FocusFixture& f) {
             f.form.ActiveControl = &f.ok;
             f.ok.SetVisible(false);
         },
         nullptr},
        {"a disabled control",
         [](FocusFixture& f) {
             f.form.ActiveControl = &f.ok;
             f.ok.SetEnabled(false);
         },
         nullptr},
        {"a control on a hidden panel",
         [](FocusFixture& f) {
             f.form.ActiveControl = &f.combo;
             f.panel.SetVisible(false);
         },
         nullptr},
        {"a control on a disabled panel",
         [](FocusFixture& f) {
             f.form.ActiveControl = &f.combo;
             f.panel.SetEnabled(false);
         },
         nullptr},
    };
    for (const Case& c : cases) {
        FocusFixture f;
        c.setUp(f);
        TControl* expected = c.expected ? c.expected(f) : nullptr;
        EXPECT_EQ(f.form.FocusTarget(), expected) << c.name;
    }
}

}  // namespace
}  // namespace taskwell
