// The program's message boxes show their whole caption and text: every text
// and caption the program shows (one row each, placeholders filled with
// likely values), in a box as Show_Message_Box builds it.
#include "controls/qt_feedback.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QStyle>
#include <QTimer>

#include <climits>

namespace qev {
namespace {

struct TBox_Row {
    const char* Name;
    std::string Text;
    const char* Caption;
    TMessage_Kind Kind = TMessage_Kind::Error;
};

const std::vector<TBox_Row>& Boxes() {
    using K = TMessage_Kind;
    const std::string path = "/home/operator/remote-controls/living-room/television-and-receiver.rmt";
    static const std::vector<TBox_Row> rows = {
        // The main window.
        {"clear_all_data", "Are You Sure?", "Clear All Data", K::Question},
        {"file_exists", "Specified File Already Exists. Overwrite OK?", "File Exists", K::Question},
        {"no_command_selected", "Command is not Selected !!", "Command Error"},
        {"image_file", "Can't Read Image File:/home/operator/pictures/remote-control-background.bmp",
         "Image File Load Error"},
        {"socket_in_use", "Socket is Already Opened by other APL", "Socket Open Error"},
        {"server_port_at_start", "The bound address is already in use", "QEV_LPT"},
        {"lirc_port",
         "The LIRC listener cannot open port 8765 on 127.0.0.1: The bound address is already in use\n"
         "QEV_LPT goes on without it.",
         "LIRC Listener"},
        // Start-up and shutdown.
        {"no_profile", "USERPROFILE is not founded", "INI File Load Error"},
        {"no_counter", "This Hardware dosen't support QueryPerformanceCounter.", "Function Error"},
        {"settings_not_written", "Unable to write to /home/operator/QEV_LPT.INI: Permission denied", "QEV_LPT"},
        {"unexpected_error", "std::bad_alloc", "QEV_LPT"},
        // Command files.
        {"cannot_open", "Can't Open File", "File Open Error"},
        {"cannot_create", "Can't Create File", "File Open Error"},
        {"read_in_part", "Can't Read File\nThe file could be read only in part.", "File Read Error"},
        {"long_names",
         "Command Name is too long (79 characters at most)\n27 records, the first at line 3: each keeps its first "
         "79 characters.",
         "File Read Error"},
        {"overflow", "Command Buffer Overflow\nLine 12: its first 4096 bytes are kept.", "File Read Error"},
        {"repeat_value", "Can't Read REPEAT Value", "File Syntax Error"},
        {"data_size", "Unexpected Data Size", "File Read Error"},
        // Import and export.
        {"import_not_a_code_file", "remote.txt: not a .ir, .conf or .pronto file", "Import"},
        {"import_no_commands", "tv.ir: the file holds no commands", "Import"},
        {"import_faults",
         "tv.ir, line 14: the frequency is not a number\n(and 2 more faults)\n"
         "3 commands were not added: the name is already in the table (first: POWER)\n"
         "1 command was cut to MAX_RMTCMD_BIT_LENGTH samples",
         "Import"},
        // Capture and registration.
        {"capture_no_signal",
         "No IR signal was received within 10 seconds. Point the remote at the receiver and try again.",
         "Capture Error"},
        {"capture_no_library", "No port library (libio.so) is loaded: nothing can be received.", "Capture Error"},
        {"data_length", "Data Length must be between 1 and 8192", "Data Length Error"},
        {"duplicated_name", "Duplicated Command Name is detected !!: POWER", "Command Name Error"},
        {"no_name", "Command Name is not presented !!", "Duplicated Error"},
        {"name_too_long", "Command Name is too long (79 characters at most)", "Command Name Error"},
        {"table_full",
         "The Command table is full (500 commands): save it and clear it, or raise MAX_RMTCMD_NUM for the next start",
         "Registration Error"},
        // Macros.
        {"macro_clear", "Are You Sure?", "Clear All Data", K::Question},
        {"macro_missing", "File doesn't Exists.", "File Read Error"},
        {"macro_cannot_open", "Can't Open File\n" + path + ": No such file or directory", "File Read Error"},
        {"macro_cannot_create", "Can't Create File\n" + path + ": Permission denied", "File Open Error"},
        {"macro_line", "Line 012: Unrecognized Command", "Command Error"},
    };
    return rows;
}

void PrintTo(const TBox_Row& row, std::ostream* out) { *out << row.Name; }

// What a title bar needs for the caption: its text in the style's title-bar
// font as a desktop draws it (bold, two points larger), and the window's icon
// and three buttons, each as wide as the style's title bar is high. (The box
// for "Are You Sure?" was 188 pixels wide here: its caption then needs 212.)
int Title_Bar_Need(const QString& caption, const QStyle* style) {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() + 2);
    return QFontMetrics(font).horizontalAdvance(caption) + 4 * style->pixelMetric(QStyle::PM_TitleBarHeight);
}

struct TShown {
    bool Seen = false;
    QString Caption;
    int Width = 0;
    int Need = 0;
    QString Label_Text;
    QSize Label_Size;
    QRect Text_Rect;  // the text laid out at the label's width
};

class Message_Box_Test : public ::testing::TestWithParam<TBox_Row> {};

TEST_P(Message_Box_Test, Shows_Its_Whole_Caption_And_Text) {
    const TBox_Row& row = GetParam();
    TShown shown;
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        shown.Seen = true;
        shown.Caption = box->windowTitle();
        shown.Width = box->width();
        shown.Need = Title_Bar_Need(box->windowTitle(), box->style());
        if (const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            shown.Label_Text = label->text();
            shown.Label_Size = label->size();
            shown.Text_Rect = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), INT_MAX), Qt::TextWordWrap,
                                                                label->text());
        }
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(Show_Message_Box(row.Text, row.Caption, row.Kind), TMessage_Answer::OK);
    ASSERT_TRUE(shown.Seen);
    EXPECT_EQ(shown.Caption.toStdString(), row.Caption);
    EXPECT_GE(shown.Width, shown.Need) << "the title bar cuts \"" << row.Caption << "\"";
    EXPECT_EQ(shown.Label_Text.toStdString(), row.Text);
    EXPECT_LE(shown.Text_Rect.width(), shown.Label_Size.width()) << "a line of the text runs past the box";
    EXPECT_LE(shown.Text_Rect.height(), shown.Label_Size.height()) << "the text's last lines are cut";
}

INSTANTIATE_TEST_SUITE_P(Program, Message_Box_Test, ::testing::ValuesIn(Boxes()),
                         [](const ::testing::TestParamInfo<TBox_Row>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace qev
