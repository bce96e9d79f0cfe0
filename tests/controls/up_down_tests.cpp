// The up-down spinner beside a number field. A free spinner (the capture
// dialog's length) steps by one from the number shown, within the range; a
// strict one (the setup dialog's fields) holds a number of its range, takes
// typed text only when it is one, and shows it grouped by commas.
#include "controls/up_down.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <QToolButton>
#include <QWidget>

#include <climits>
#include <optional>
#include <string>
#include <vector>

namespace qev::test {
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
        spinner->Set_Associate(edit);
        spinner->Set_Range(1, 1024);
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
            spinner->Set_Position(row.position);
            edit->setText(QString::fromLatin1(row.text));
            Press(press.way, row.delta);
            EXPECT_EQ(edit->text().toStdString(), row.expected);
            EXPECT_EQ(spinner->Position(), QString::fromLatin1(row.expected).toInt());
        }
    }
}

TEST_F(Up_Down_Test, Repeated_Keys_Keep_Stepping_And_Stop_At_The_Ends) {
    spinner->Set_Position(1020);
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
    spinner->Set_Position(500);
    other.setText(QStringLiteral("7"));
    QTest::keyClick(&other, Qt::Key_Up);
    EXPECT_EQ(edit->text(), "500");
    EXPECT_EQ(other.text(), "7");

    // A new associate takes the keys over from the old one.
    spinner->Set_Associate(&other);
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), "500");
    QTest::keyClick(&other, Qt::Key_Up);
    EXPECT_EQ(other.text(), "8");
}

TEST_F(Up_Down_Test, A_Free_Spinner_Writes_Plain_Digits_And_Keeps_Its_Position_Whatever_Is_Typed) {
    spinner->Set_Position(1000);
    EXPECT_EQ(edit->text(), "1000");
    edit->setText(QStringLiteral("500"));
    EXPECT_EQ(spinner->Position(), 1000) << "a free spinner reads its field only when an arrow is pressed";
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->text(), "500") << "finishing the field leaves its text alone";
}

// ---- Numbers as a spinner writes and reads them ------------------------------

TEST(Up_Down_Numbers, Grouped_By_Commas_In_Threes) {
    struct Row {
        const char* name;
        int value;
        const char* grouped;
        const char* plain;
    };
    const std::vector<Row> rows = {
        {"zero", 0, "0", "0"},
        {"three_digits", 999, "999", "999"},
        {"four_digits", 1024, "1,024", "1024"},
        {"five_digits", 32767, "32,767", "32767"},
        {"six_digits", 100000, "100,000", "100000"},
        {"seven_digits", 1234567, "1,234,567", "1234567"},
        {"negative_three_digits", -999, "-999", "-999"},
        {"negative_four_digits", -1234, "-1,234", "-1234"},
        {"the_smallest_int", INT_MIN, "-2,147,483,648", "-2147483648"},
        {"the_largest_int", INT_MAX, "2,147,483,647", "2147483647"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TUp_Down::Number_Text(row.value, true).toStdString(), row.grouped);
        EXPECT_EQ(TUp_Down::Number_Text(row.value, false).toStdString(), row.plain);
        EXPECT_EQ(TUp_Down::Whole_Number(QString::fromLatin1(row.grouped)), row.value);
        EXPECT_EQ(TUp_Down::Whole_Number(QString::fromLatin1(row.plain)), row.value);
    }
}

TEST(Up_Down_Numbers, Only_Whole_Numbers_Are_Read) {
    struct Row {
        const char* name;
        const char* text;
        std::optional<int> value;
    };
    const std::vector<Row> rows = {
        {"plain_digits", "2048", 2048},
        {"grouped_digits", "2,048", 2048},
        {"blanks_around", "  2,048\t", 2048},
        {"plus_sign", "+2048", 2048},
        {"minus_sign", "-2,048", -2048},
        {"leading_zeros", "007", 7},
        {"first_group_of_one", "1,000,000", 1000000},
        {"empty", "", std::nullopt},
        {"only_blanks", "   ", std::nullopt},
        {"only_a_sign", "-", std::nullopt},
        {"letters", "port", std::nullopt},
        {"digits_then_text", "2048x", std::nullopt},
        {"text_then_digits", "x2048", std::nullopt},
        {"decimal_point", "2048.0", std::nullopt},
        {"blank_inside", "2 048", std::nullopt},
        {"sign_then_blank", "- 2048", std::nullopt},
        {"two_signs", "--2048", std::nullopt},
        {"group_of_two", "20,48", std::nullopt},
        {"group_of_four", "2,0480", std::nullopt},
        {"first_group_of_four", "2048,000", std::nullopt},
        {"leading_comma", ",048", std::nullopt},
        {"trailing_comma", "2048,", std::nullopt},
        {"two_commas", "2,,048", std::nullopt},
        {"point_grouping", "2.048", std::nullopt},
        {"beyond_int", "2147483648", std::nullopt},
        {"far_beyond_int", "99999999999999999999", std::nullopt},
        {"below_int", "-2147483649", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TUp_Down::Whole_Number(QString::fromLatin1(row.text)), row.value);
    }
}

// ---- A strict spinner --------------------------------------------------------

// A strict field of 1,024 .. 32,767 grouped by commas, as the setup dialog's
// port field, standing at 9,999.
class Strict_Up_Down_Test : public Up_Down_Test {
protected:
    void SetUp() override {
        spinner->Set_Associate(edit);
        spinner->Set_Strict(true);
        spinner->Set_Thousands(true);
        spinner->Set_Range(1024, 32767);
        spinner->Set_Position(9999);
    }
};

TEST_F(Strict_Up_Down_Test, A_Position_Set_From_Outside_Is_Brought_To_The_Nearest_Limit) {
    struct Row {
        const char* name;
        int position;
        const char* shown;
    };
    const std::vector<Row> rows = {
        {"below_the_range", 80, "1,024"},       {"the_bottom", 1024, "1,024"},
        {"inside_the_range", 2048, "2,048"},    {"the_top", 32767, "32,767"},
        {"above_the_range", 65535, "32,767"},   {"the_smallest_int", INT_MIN, "1,024"},
        {"the_largest_int", INT_MAX, "32,767"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        spinner->Set_Position(row.position);
        EXPECT_EQ(edit->text().toStdString(), row.shown);
        EXPECT_EQ(spinner->Position(), *TUp_Down::Whole_Number(QString::fromLatin1(row.shown)));
    }
}

struct TTyped_Row {
    const char* name;
    const char* text;
    int position;  // what counts; 9999 = the text is not taken
};

const std::vector<TTyped_Row> Typed_Rows = {
    {"plain_digits", "2048", 2048},
    {"grouped_digits", "2,048", 2048},
    {"blanks_around", " 2,048 ", 2048},
    {"the_bottom", "1024", 1024},
    {"the_top", "32,767", 32767},
    {"below_the_range", "80", 9999},
    {"just_below_the_range", "1,023", 9999},
    {"above_the_range", "32768", 9999},
    {"far_above_the_range", "40000", 9999},
    {"beyond_int", "99999999999", 9999},
    {"negative", "-2048", 9999},
    {"empty", "", 9999},
    {"letters", "port", 9999},
    {"digits_then_text", "2048x", 9999},
    {"badly_grouped", "20,48", 9999},
};

TEST_F(Strict_Up_Down_Test, Typed_Text_Counts_Only_As_A_Whole_Number_Within_The_Range) {
    for (const TTyped_Row& row : Typed_Rows) {
        SCOPED_TRACE(row.name);
        spinner->Set_Position(9999);
        edit->clear();
        QTest::keyClicks(edit, QString::fromLatin1(row.text));
        EXPECT_EQ(spinner->Position(), row.position);
        // Return finishes the field: it shows the number that counts.
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(edit->text(), TUp_Down::Number_Text(row.position, true));
        EXPECT_EQ(spinner->Position(), row.position);
    }
}

TEST_F(Strict_Up_Down_Test, While_The_Text_Is_Not_Valid_The_Last_Number_Taken_Counts) {
    edit->setText(QStringLiteral("2,048"));
    QTest::keyClick(edit, Qt::Key_Return);
    edit->setText(QStringLiteral("80"));
    EXPECT_EQ(spinner->Position(), 2048) << "the number finished last";
    edit->setText(QStringLiteral("3000"));
    EXPECT_EQ(spinner->Position(), 3000) << "a valid number counts as soon as the field shows it";
    edit->setText(QStringLiteral("junk"));
    EXPECT_EQ(spinner->Position(), 2048) << "3000 was never taken: the last number taken counts";
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->text(), "2,048");
}

TEST_F(Strict_Up_Down_Test, Arrows_Step_From_The_Number_That_Counts) {
    struct Row {
        const char* name;
        const char* text;
        int delta;
        const char* shown;
    };
    const std::vector<Row> rows = {
        {"valid_text_up", "2,048", +1, "2,049"},      {"valid_plain_text_down", "2048", -1, "2,047"},
        {"below_the_range_up", "80", +1, "10,000"},   {"above_the_range_down", "40000", -1, "9,998"},
        {"letters_up", "port", +1, "10,000"},         {"at_the_top_up", "32,767", +1, "32,767"},
        {"at_the_bottom_down", "1,024", -1, "1,024"},
    };
    const std::vector<TPress> presses = {{"button", TPress::Button}, {"key_in_the_field", TPress::Key}};
    for (const TPress& press : presses) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(press.name) + " " + row.name);
            spinner->Set_Position(9999);
            edit->setText(QString::fromLatin1(row.text));
            Press(press.way, row.delta);
            EXPECT_EQ(edit->text().toStdString(), row.shown);
            EXPECT_EQ(spinner->Position(), *TUp_Down::Whole_Number(QString::fromLatin1(row.shown)));
        }
    }
}

TEST_F(Strict_Up_Down_Test, The_Grouping_Is_The_Same_In_Every_Locale) {
    const QLocale saved;
    // German writes 1.024 and reads "2,048" as a decimal fraction.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    spinner->Set_Position(1024);
    const QString shown = edit->text();
    edit->setText(QStringLiteral("2,048"));
    const int typed = spinner->Position();
    edit->setText(QStringLiteral("2.048"));
    const int pointed = spinner->Position();
    QLocale::setDefault(saved);
    EXPECT_EQ(shown, "1,024");
    EXPECT_EQ(typed, 2048);
    EXPECT_EQ(pointed, 1024) << "a point does not group";
}

}  // namespace
}  // namespace qev::test
