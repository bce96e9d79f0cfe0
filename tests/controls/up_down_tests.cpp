// The up-down spinner beside a length field: its arrow buttons and the arrow
// keys in the field step by one from the number shown, within the range.
#include "controls/up_down.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QWidget>

#include <string>
#include <vector>

namespace {

// One way of pressing an arrow.
struct TPress {
    enum TWay { Button, Key, Keypad_Key };
    const char* name;
    TWay way;
};

// A length field of 1 .. 1024 with its spinner, as the capture dialog has.
class Up_Down_Test : public ::testing::Test {
protected:
    QWidget window;
    QLineEdit* edit = new QLineEdit(&window);
    TUp_Down* spinner = new TUp_Down(&window);

    void SetUp() override {
        spinner->setAssociate(edit);
        spinner->setRange(1, 1024);
    }
    QToolButton* Arrow(const char* name) const {
        auto* arrow = spinner->findChild<QToolButton*>(QString::fromLatin1(name));
        EXPECT_NE(arrow, nullptr) << name;
        return arrow;
    }
    void Press(TPress::TWay way, int delta) {
        const Qt::Key key = delta > 0 ? Qt::Key_Up : Qt::Key_Down;
        switch (way) {
            case TPress::Button:
                QTest::mouseClick(Arrow(delta > 0 ? "Up" : "Down"), Qt::LeftButton);
                break;
            case TPress::Key:
                QTest::keyClick(edit, key);
                break;
            case TPress::Keypad_Key:
                QTest::keyClick(edit, key, Qt::KeypadModifier);
                break;
        }
    }
};

struct TStep_Row {
    const char* name;
    int position;      // where the spinner stood before the text was typed
    const char* text;  // what the field shows
    int delta;         // +1 up, -1 down
    const char* expected;
};

const std::vector<TStep_Row> Step_Rows = {
    {"inside_the_range_down", 300, "500", -1, "499"},
    {"inside_the_range_up", 300, "500", +1, "501"},
    {"blanks_around_the_number", 300, " 500 ", +1, "501"},
    {"above_the_range_down", 300, "5000", -1, "1024"},
    {"above_the_range_up", 300, "5000", +1, "1024"},
    {"the_largest_int_up", 300, "2147483647", +1, "1024"},
    {"at_the_top_up", 300, "1024", +1, "1024"},
    {"at_the_top_down", 300, "1024", -1, "1023"},
    {"at_the_bottom_down", 300, "1", -1, "1"},
    {"below_the_range_up", 300, "0", +1, "1"},
    {"negative_down", 300, "-7", -1, "1"},
    {"the_smallest_int_down", 300, "-2147483648", -1, "1"},
    {"no_number_up", 300, "junk", +1, "301"},
    {"no_number_down", 300, "", -1, "299"},
    {"digits_then_text", 300, "37 samples", -1, "299"},
};

TEST_F(Up_Down_Test, Arrows_Step_By_One_From_The_Number_Shown_Within_The_Range) {
    const std::vector<TPress> presses = {
        {"button", TPress::Button}, {"key_in_the_field", TPress::Key}, {"keypad_key_in_the_field", TPress::Keypad_Key}};
    for (const TPress& press : presses) {
        for (const TStep_Row& row : Step_Rows) {
            SCOPED_TRACE(std::string(press.name) + " " + row.name);
            spinner->setPosition(row.position);
            edit->setText(QString::fromLatin1(row.text));
            Press(press.way, row.delta);
            EXPECT_EQ(edit->text().toStdString(), row.expected);
            EXPECT_EQ(spinner->Position(), QString::fromLatin1(row.expected).toInt());
        }
    }
}

TEST_F(Up_Down_Test, Repeated_Keys_Keep_Stepping_And_Stop_At_The_Ends) {
    spinner->setPosition(1020);
    for (int i = 0; i < 10; ++i) QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), "1024");
    edit->setText("3");
    for (int i = 0; i < 10; ++i) QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->text(), "1");
}

TEST_F(Up_Down_Test, Other_Keys_Still_Edit_The_Field) {
    edit->clear();
    QTest::keyClicks(edit, "12");
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClicks(edit, "3");
    EXPECT_EQ(edit->text(), "132");
}

TEST_F(Up_Down_Test, Keys_Step_Only_In_The_Associated_Field) {
    QLineEdit other(&window);
    spinner->setPosition(500);
    other.setText(QStringLiteral("7"));
    QTest::keyClick(&other, Qt::Key_Up);
    EXPECT_EQ(edit->text(), "500");
    EXPECT_EQ(other.text(), "7");

    // A new associate takes the keys over from the old one.
    spinner->setAssociate(&other);
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), "500");
    QTest::keyClick(&other, Qt::Key_Up);
    EXPECT_EQ(other.text(), "8");
}

}  // namespace
