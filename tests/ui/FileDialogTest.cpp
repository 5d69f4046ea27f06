#include <gtest/gtest.h>

#include <string>

#include "platform/sim/SimMachine.h"
#include "platform/sim/SimUi.h"
#include "ui/TApplication.h"
#include "ui/TOpenDialog.h"
#include "ui/TSaveDialog.h"

namespace taskwell {
namespace {

// The two file dialogs behave alike in the headless backend, each with its own responder and
// record.
struct SaveKind {
    using Dialog = TSaveDialog;
    static auto& Responder(sim::SimUi& ui) { return ui.SaveDialogResponder; }
    static auto& Record(sim::SimUi& ui) { return ui.SaveDialogs; }
    static auto& Other(sim::SimUi& ui) { return ui.OpenDialogs; }
};
struct OpenKind {
    using Dialog = TOpenDialog;
    static auto& Responder(sim::SimUi& ui) { return ui.OpenDialogResponder; }
    static auto& Record(sim::SimUi& ui) { return ui.OpenDialogs; }
    static auto& Other(sim::SimUi& ui) { return ui.SaveDialogs; }
};

template <class Kind>
class FileDialog : public ::testing::Test {
protected:
    using Dialog = typename Kind::Dialog;
    sim::SimMachine machine;
    sim::SimUi ui{machine};
    TApplication app{ui};
    Dialog dialog{app};

    void SetUp() override {
        dialog.Title = "Choose";
        dialog.Filter = {{"Programs", "*.exe;*.com"}, {"All files", "*.*"}};
        dialog.DefaultExt = "exe";
        dialog.Options = ofHideReadOnly | ofFileMustExist;
        dialog.InitialDir = "C:\\WINDOWS";
        dialog.FileName = "C:\\before.exe";
    }
};

using Kinds = ::testing::Types<SaveKind, OpenKind>;
TYPED_TEST_SUITE(FileDialog, Kinds);

TYPED_TEST(FileDialog, WithoutAResponderItIsCancelledAndRecordedAsSetUp) {
    EXPECT_FALSE(this->dialog.Execute());
    EXPECT_EQ(this->dialog.FileName, "C:\\before.exe");
    auto& shown = TypeParam::Record(this->ui);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Title, "Choose");
    ASSERT_EQ(shown[0].Filter.size(), 2u);
    EXPECT_EQ(shown[0].Filter[0].Pattern, "*.exe;*.com");
    EXPECT_EQ(shown[0].DefaultExt, "exe");
    EXPECT_EQ(shown[0].Options, ofHideReadOnly | ofFileMustExist);
    EXPECT_EQ(shown[0].InitialDir, "C:\\WINDOWS");
    EXPECT_EQ(shown[0].FileName, "C:\\before.exe");
    EXPECT_TRUE(TypeParam::Other(this->ui).empty()) << "the other kind of dialog was not shown";
}

TYPED_TEST(FileDialog, TheResponderDecidesAndOnlyAConfirmedChoiceChangesTheFileName) {
    struct Case {
        const char* name;
        bool confirm;
        const char* expected;
    };
    const Case cases[] = {{"confirmed", true, "C:\\WINDOWS\\CALC.EXE"}, {"cancelled", false, "C:\\before.exe"}};
    for (const Case& c : cases) {
        this->dialog.FileName = "C:\\before.exe";
        TypeParam::Responder(this->ui) = [&](typename TypeParam::Dialog& d) {
            EXPECT_EQ(&d, &this->dialog) << c.name << ": the responder answers the dialog itself";
            d.FileName = "C:\\WINDOWS\\CALC.EXE";
            return c.confirm;
        };
        EXPECT_EQ(this->dialog.Execute(), c.confirm) << c.name;
        EXPECT_EQ(this->dialog.FileName, c.expected) << c.name;
        EXPECT_EQ(TypeParam::Record(this->ui).back().FileName, "C:\\before.exe")
            << c.name << ": recorded before the responder changed it";
    }
    EXPECT_EQ(TypeParam::Record(this->ui).size(), 2u);
}

}  // namespace
}  // namespace taskwell
