// The port address dialog over a real main window on the simulated port:
// its face, the preset on show, OK and closing without OK.
#include "dialogs/ui/lpt_address_form.h"
#include "harness/sim_port_controls.h"
#include "tests/support/qt/window_fixture.h"

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace qev::test {
namespace {

class LPT_Address_Form_Test : public Window_Test {
protected:
    std::unique_ptr<TLPT_Address_Form> dialog;
    decltype(&IoSimPeek) peek = nullptr;

    void SetUp() override {
        Start();
        // Power-on registers everywhere: data 0x00, control 0x2C (direction bit set).
        TSim_Port_Controls(form->State().Port).Reset();
        peek = reinterpret_cast<decltype(&IoSimPeek)>(form->State().Port.Resolve("IoSimPeek"));
        ASSERT_NE(peek, nullptr) << "the simulated port";
    }
    // The base as the Settings file could leave it, without touching the port.
    void Use_Base(int32_t base) { form->State().Settings.Base_Address = base; }
    void Open() {
        dialog = std::make_unique<TLPT_Address_Form>(form->State(), form.get());
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    template <typename T>
    T* Child(const char* name) const {
        return Named_Child<T>(*dialog, name);
    }
    QRadioButton* PCAT() const { return Child<QRadioButton>("LPT_PCAT_RadioButton"); }
    QRadioButton* ThinkPad() const { return Child<QRadioButton>("LPT_ThinkPad_RadioButton"); }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

TEST_F(LPT_Address_Form_Test, Is_A_Fixed_Dialog_With_Its_Caption_And_Components) {
    Open();
    EXPECT_EQ(dialog->objectName(), "LPT_Address_Form");
    EXPECT_EQ(dialog->windowTitle(), "LPT Address Set");
    EXPECT_EQ(dialog->size(), QSize(311, 223));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "fixed size";

    auto* group = Child<QGroupBox>("LPT_Address_RadioGroup");
    EXPECT_EQ(group->title(), "LPT Address");
    EXPECT_EQ(group->geometry(), QRect(24, 24, 249, 97));
    EXPECT_TRUE(group->findChildren<QAbstractButton*>().isEmpty()) << "no items of its own";

    struct Row {
        const char* name;
        const char* caption;
        QRect geometry;
        bool in_the_frame;
    };
    const std::vector<Row> rows = {
        {"LPT_PCAT_RadioButton", "LPT PC/AT     (Base Address 0x378)", {48, 48, 217, 17}, true},
        {"LPT_ThinkPad_RadioButton", "LPT ThinkPad  (Base Address 0x3bc)", {48, 80, 217, 17}, true},
        {"OK_Button", "OK", {104, 136, 75, 25}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* button = Child<QAbstractButton>(row.name);
        EXPECT_EQ(button->text().toStdString(), row.caption);
        EXPECT_EQ(button->parentWidget(), dialog.get()) << "on the form, over the group's frame";
        if (row.in_the_frame) {
            // As drawn (48, top, 217 x 17), grown and moved left only as far as
            // the whole caption needs, and always inside the group's frame.
            EXPECT_EQ(button->y(), row.geometry.y());
            EXPECT_EQ(button->height(), row.geometry.height());
            EXPECT_LE(button->x(), row.geometry.x());
            EXPECT_GE(button->width(), std::max(row.geometry.width(), button->sizeHint().width()))
                << "the whole caption shows";
            EXPECT_TRUE(group->geometry().contains(button->geometry()));
            EXPECT_EQ(button->x(), PCAT()->x()) << "both aligned";
        } else {
            EXPECT_EQ(button->geometry(), row.geometry);
            EXPECT_FALSE(group->geometry().contains(button->geometry()));
        }
    }
    Child<QPushButton>("OK_Button");
    // Sharing the form, the two buttons exclude each other.
    Click(PCAT());
    Click(ThinkPad());
    EXPECT_FALSE(PCAT()->isChecked());
    EXPECT_TRUE(ThinkPad()->isChecked());
}

TEST_F(LPT_Address_Form_Test, Opens_With_The_Base_In_Use_Checked_And_OK_Prepares_The_Port) {
    struct Row {
        const char* name;
        int32_t base;
        bool pcat_checked;
        int32_t after_ok;
    };
    const std::vector<Row> rows = {
        {"pc_at", 0x378, true, 0x378},
        {"thinkpad", 0x3BC, false, 0x3BC},
        {"third_port_from_the_settings_file", 0x278, false, 0x3BC},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TSim_Port_Controls(form->State().Port).Reset();
        Use_Base(row.base);
        Open();
        EXPECT_EQ(PCAT()->isChecked(), row.pcat_checked);
        EXPECT_EQ(ThinkPad()->isChecked(), !row.pcat_checked);

        Click(Child<QPushButton>("OK_Button"));

        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(form->State().Settings.Base_Address, row.after_ok);
        const auto base = static_cast<unsigned short>(row.after_ok);
        EXPECT_EQ(peek(base), 0xFE) << "LED off, the other data lines high";
        EXPECT_EQ(peek(base + 2), 0x0C) << "0x2C without the direction bit";
        const auto writes = TSim_Port_Controls(form->State().Port).Writes();
        ASSERT_EQ(writes.size(), 1u) << "one data write, also when the base stays";
        EXPECT_EQ(writes[0].Port, base);
        EXPECT_EQ(writes[0].Value, 0xFE);
        if (row.base != row.after_ok) {
            EXPECT_EQ(peek(static_cast<unsigned short>(row.base)), 0x00) << "the old port is left alone";
            EXPECT_EQ(peek(static_cast<unsigned short>(row.base + 2)), 0x2C);
        }
    }
}

TEST_F(LPT_Address_Form_Test, OK_Applies_The_Button_The_User_Checked) {
    struct Row {
        const char* name;
        int32_t base;
        bool check_pcat;
        int32_t after_ok;
    };
    const std::vector<Row> rows = {
        {"pc_at_to_thinkpad", 0x378, false, 0x3BC},
        {"thinkpad_to_pc_at", 0x3BC, true, 0x378},
        {"third_port_to_pc_at", 0x278, true, 0x378},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TSim_Port_Controls(form->State().Port).Reset();
        Use_Base(row.base);
        Open();
        Click(row.check_pcat ? PCAT() : ThinkPad());
        Click(Child<QPushButton>("OK_Button"));
        EXPECT_EQ(form->State().Settings.Base_Address, row.after_ok);
        EXPECT_EQ(peek(static_cast<unsigned short>(row.after_ok)), 0xFE);
        EXPECT_EQ(peek(static_cast<unsigned short>(row.after_ok + 2)), 0x0C);
    }
}

TEST_F(LPT_Address_Form_Test, Closing_Without_OK_Changes_Nothing) {
    struct Row {
        const char* name;
        std::function<void(QDialog&)> close;
    };
    const std::vector<Row> rows = {
        {"frame", [](QDialog& d) { d.close(); }},
        {"escape", [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TSim_Port_Controls(form->State().Port).Reset();
        Use_Base(0x278);
        Open();
        Click(PCAT());
        row.close(*dialog);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(form->State().Settings.Base_Address, 0x278);
        EXPECT_EQ(Tx_Count(), 0) << "no data register written";
        for (const unsigned short base : {0x278, 0x378, 0x3BC}) {
            EXPECT_EQ(peek(base), 0x00) << base;
            EXPECT_EQ(peek(base + 2), 0x2C) << base;
        }
    }
}

TEST_F(LPT_Address_Form_Test, The_Preset_Comes_From_The_Base_When_The_Dialog_Shows) {
    Use_Base(0x378);
    dialog = std::make_unique<TLPT_Address_Form>(form->State(), form.get());
    Use_Base(0x3BC);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    EXPECT_TRUE(ThinkPad()->isChecked()) << "the base at the time of showing";

    // A fresh dialog does not remember what the last one was left with.
    Use_Base(0x378);
    Open();
    Click(ThinkPad());
    dialog->close();
    Open();
    EXPECT_TRUE(PCAT()->isChecked());
}

TEST_F(LPT_Address_Form_Test, Runs_Modally_Centred_On_The_Main_Window) {
    Use_Base(0x278);
    TLPT_Address_Form modal_dialog(form->State(), form.get());
    const TModal_Run run = Run_Modal(modal_dialog, "OK_Button");
    EXPECT_EQ(run.Result, QDialog::Accepted);
    EXPECT_EQ(run.Name, "LPT_Address_Form");
    EXPECT_TRUE(run.Modal);
    EXPECT_LE(run.Off_Centre, 2);
    EXPECT_EQ(form->State().Settings.Base_Address, 0x3BC);
}

}  // namespace
}  // namespace qev::test
