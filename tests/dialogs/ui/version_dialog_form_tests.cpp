// The version dialog over a real main window: its layout, the texts it reads
// from the built QEV_LPT or keeps without version information, the
// fixed-pitch labels, the icon and the OK button.
#include "controls/form_font.h"
#include "controls/system_colors.h"
#include "dialogs/core/version_info.h"
#include "dialogs/ui/version_dialog_form.h"
#include "tests/support/qt/window_fixture.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <ostream>
#include <vector>

namespace qev::test {
namespace {

const std::string Program = QEV_TEST_PROGRAM;
const QString Project_Version = QStringLiteral(QEV_TEST_PROJECT_VERSION);

class Version_Dialog_Test : public Window_Test {
protected:
    std::unique_ptr<TVersionDialogForm> dialog;

    void SetUp() override { Start(); }
    // The dialog on the built program's file, or without a path on this test
    // program's own file, which has no version information.
    TVersionDialogForm& Open(const std::string& executable = std::string()) {
        dialog = executable.empty() ? std::make_unique<TVersionDialogForm>(form->State(), form.get())
                                    : std::make_unique<TVersionDialogForm>(form->State(), form.get(), executable);
        return *dialog;
    }
    template <typename T>
    T* Child(const char* name) const {
        return Named_Child<T>(*dialog, name);
    }
    QString Text(const char* label) const {
        const QLabel* found = Child<QLabel>(label);
        return found ? found->text() : QString();
    }
};

TEST_F(Version_Dialog_Test, Is_A_Fixed_Dialog_On_The_Button_Face) {
    Open(Program);
    EXPECT_EQ(dialog->objectName(), "VersionDialogForm");
    EXPECT_EQ(dialog->windowTitle(), "Version");
    EXPECT_EQ(dialog->size(), QSize(515, 219));
    EXPECT_EQ(dialog->minimumSize(), QSize(515, 219));
    EXPECT_EQ(dialog->maximumSize(), QSize(515, 219));
    EXPECT_EQ(dialog->palette().color(QPalette::Window), System_Color(TSystem_Color::Btn_Face));
    EXPECT_EQ(dialog->font(), Form_Font());
}

struct TPlace_Row {
    const char* Name;
    const char* Component;
    QRect Geometry;  // an empty size: the label sizes itself
};
void PrintTo(const TPlace_Row& row, std::ostream* out) { *out << row.Name; }

class Version_Layout_Test : public Version_Dialog_Test, public ::testing::WithParamInterface<TPlace_Row> {};

TEST_P(Version_Layout_Test, Places_The_Component) {
    Open(Program);
    const QWidget* widget = Child<QWidget>(GetParam().Component);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->pos(), GetParam().Geometry.topLeft());
    if (!GetParam().Geometry.isEmpty()) {
        EXPECT_EQ(widget->size(), GetParam().Geometry.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Version_Layout_Test,
                         ::testing::Values(TPlace_Row{"icon", "VeyIcon_Image", QRect(16, 24, 73, 73)},
                                           TPlace_Row{"ok_button", "OKButton", QRect(16, 120, 73, 33)},
                                           TPlace_Row{"product_name", "ProductNameLabel", QRect(112, 24, 0, 0)},
                                           TPlace_Row{"description", "FileDescriptionLabel", QRect(112, 48, 0, 0)},
                                           TPlace_Row{"comments", "CommentsLabel", QRect(112, 72, 0, 0)},
                                           TPlace_Row{"file_version", "FileVersionLabel", QRect(112, 96, 0, 0)},
                                           TPlace_Row{"company_name", "CompanyNameLabel", QRect(112, 120, 0, 0)},
                                           TPlace_Row{"copyright", "LegalCopyrightLabel", QRect(112, 144, 0, 0)}),
                         [](const ::testing::TestParamInfo<TPlace_Row>& info) { return std::string(info.param.Name); });

struct TText_Row {
    const char* Name;
    const char* Label;
    QString Built;   // shown for the built program
    QString Design;  // shown without version information
};
void PrintTo(const TText_Row& row, std::ostream* out) { *out << row.Name; }

class Version_Text_Test : public Version_Dialog_Test, public ::testing::WithParamInterface<TText_Row> {};

TEST_P(Version_Text_Test, Shows_The_Value_Of_The_Built_Program) {
    Open(Program);
    EXPECT_EQ(Text(GetParam().Label), GetParam().Built);
}

TEST_P(Version_Text_Test, Keeps_The_Design_Text_Without_Version_Information) {
    ASSERT_EQ(Version_Info_Size(Running_Executable), 0u) << "the test program itself has version information";
    Open();
    EXPECT_EQ(Text(GetParam().Label), GetParam().Design);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Version_Text_Test,
    ::testing::Values(TText_Row{"product_name", "ProductNameLabel", "Product Name: QEV_LPT", "ProductNameLabel "},
                      TText_Row{"description", "FileDescriptionLabel",
                                "Description:  Learns and replays IR remote commands", "FileDescriptionLabel"},
                      TText_Row{"comments", "CommentsLabel", "Comments:     IR receiver and LED on a PC parallel port",
                                "CommentsLabel"},
                      TText_Row{"file_version", "FileVersionLabel", "File Version: " + Project_Version,
                                "FileVersionLabel"},
                      TText_Row{"company_name_behind_auther", "CompanyNameLabel",
                                "Auther Name:  the QEV_LPT developers", "CompanyNameLabel"},
                      TText_Row{"copyright", "LegalCopyrightLabel", "Copyright:    (C) 2026 the QEV_LPT developers",
                                "LegalCopyrightLabel"}),
    [](const ::testing::TestParamInfo<TText_Row>& info) { return std::string(info.param.Name); });

TEST_F(Version_Dialog_Test, Labels_Size_Themselves_To_Their_Text_Within_The_Dialog) {
    for (const std::string& executable : {Program, std::string()}) {
        Open(executable);
        for (const TVersion_Field& field : Version_Fields) {
            const QLabel* label = Child<QLabel>(field.Label);
            ASSERT_NE(label, nullptr);
            const QFontMetrics metrics(label->font());
            EXPECT_EQ(label->size(), label->sizeHint()) << field.Label;
            EXPECT_GE(label->width(), metrics.horizontalAdvance(label->text())) << field.Label;
            EXPECT_LE(label->geometry().right(), dialog->width() - 1) << field.Label << " runs off the dialog";
        }
    }
}

TEST_F(Version_Dialog_Test, Labels_Are_Fixed_Pitch_So_The_Values_Start_In_One_Column) {
    Open(Program);
    const QFont font = TVersionDialogForm::Label_Font();
    EXPECT_EQ(font.pixelSize(), 13);
    // Every letter takes one cell: narrow and wide letters, blanks and digits
    // alike (the Japanese fixed-pitch faces count as "dual" width for their
    // full-width characters, so the font's own fixed-pitch flag says nothing).
    const QFontMetrics metrics(font);
    const int cell = metrics.horizontalAdvance(QLatin1Char(' '));
    EXPECT_GT(cell, 0);
    for (const QChar letter : QStringLiteral("iMW:1_l"))
        EXPECT_EQ(metrics.horizontalAdvance(letter), cell)
            << QString(letter).toStdString() << " in " << QFontInfo(font).family().toStdString();
    const int column = metrics.horizontalAdvance(QString(14, QLatin1Char(' ')));
    for (const TVersion_Field& field : Version_Fields) {
        const QLabel* label = Child<QLabel>(field.Label);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->font(), font) << field.Label;
        const QString prefix = QString::fromLatin1(field.Prefix);
        EXPECT_EQ(prefix.size(), 14) << field.Label;
        EXPECT_TRUE(label->text().startsWith(prefix)) << label->text().toStdString();
        // Each prefix as wide as fourteen blanks: the values begin at one x.
        EXPECT_EQ(metrics.horizontalAdvance(prefix), column) << field.Prefix;
        EXPECT_EQ(label->x(), 112);
    }
}

// The classic VGA palette.
QSet<QRgb> Vga_Colors() {
    QSet<QRgb> colors;
    for (const QRgb rgb : {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0, 0x808080,
                           0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF})
        colors.insert(qRgb(qRed(rgb), qGreen(rgb), qBlue(rgb)));
    return colors;
}

TEST_F(Version_Dialog_Test, Icon_Is_A_Picture_Of_Sixteen_Colours) {
    const QImage picture = TVersionDialogForm::Icon_Picture();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(32, 32));
    const QSet<QRgb> vga = Vga_Colors();
    QSet<QRgb> used;
    int opaque = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb pixel = picture.pixel(x, y);
            if (qAlpha(pixel) == 0) continue;
            EXPECT_EQ(qAlpha(pixel), 255) << x << ", " << y;
            EXPECT_TRUE(vga.contains(pixel | 0xFF000000)) << x << ", " << y << " " << std::hex << pixel;
            used.insert(pixel | 0xFF000000);
            ++opaque;
        }
    // A drawing, not a blank or a filled square.
    EXPECT_GT(opaque, 200);
    EXPECT_LT(opaque, 32 * 32);
    EXPECT_GE(used.size(), 5);
}

TEST_F(Version_Dialog_Test, Icon_Shows_The_Picture_Stretched_Over_73_By_73) {
    Open(Program);
    const QLabel* icon = Child<QLabel>("VeyIcon_Image");
    ASSERT_NE(icon, nullptr);
    const QImage picture = TVersionDialogForm::Icon_Picture().convertToFormat(QImage::Format_ARGB32);
    const QImage shown = icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(shown.size(), QSize(73, 73));
    // Every shown pixel is the picture's pixel under its centre: sharp
    // blocks of 2 or 3 pixels, no blended colours. A centre right on the
    // border of two picture pixels (x = 36.5 falls on 16.0) may take either.
    const auto sources = [](int at) {
        const int scaled = (2 * at + 1) * 32;
        const int from = scaled / (2 * 73);
        return scaled % (2 * 73) == 0 ? std::vector<int>{from, from - 1} : std::vector<int>{from};
    };
    int mismatches = 0;
    for (int y = 0; y < 73; ++y)
        for (int x = 0; x < 73; ++x) {
            bool found = false;
            for (const int from_y : sources(y))
                for (const int from_x : sources(x)) found |= shown.pixel(x, y) == picture.pixel(from_x, from_y);
            if (!found) ++mismatches;
        }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(Version_Dialog_Test, Icon_Is_Drawn_Over_The_Button_Face) {
    Open(Program);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    const QImage drawn = dialog->grab(QRect(16, 24, 73, 73)).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = Child<QLabel>("VeyIcon_Image")->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(shown.size(), QSize(73, 73));
    const QRgb face = System_Color(TSystem_Color::Btn_Face).rgb();
    int transparent = 0;
    for (int y = 0; y < 73; ++y)
        for (int x = 0; x < 73; ++x) {
            const QRgb expected = qAlpha(shown.pixel(x, y)) == 0 ? face : (shown.pixel(x, y) | 0xFF000000);
            transparent += qAlpha(shown.pixel(x, y)) == 0;
            ASSERT_EQ(drawn.pixel(x, y) | 0xFF000000, expected) << x << ", " << y;
        }
    EXPECT_GT(transparent, 0);
}

TEST_F(Version_Dialog_Test, Ok_Is_First_In_The_Tab_Order_And_Closes_The_Dialog) {
    Open(Program);
    auto* ok = Child<QPushButton>("OKButton");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    QWidget* first = dialog->nextInFocusChain();
    while (first != dialog.get() && !(first->focusPolicy() & Qt::TabFocus)) first = first->nextInFocusChain();
    EXPECT_EQ(first, ok);

    // Shown modally as the main window shows it; OK ends the modal loop.
    QTimer::singleShot(0, ok, [ok] { QTest::mouseClick(ok, Qt::LeftButton); });
    EXPECT_EQ(dialog->exec(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
}  // namespace qev::test
