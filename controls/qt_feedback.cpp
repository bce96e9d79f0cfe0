#include "controls/qt_feedback.h"

#include "base/stop_request.h"
#include "controls/local_text.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QSpacerItem>
#include <QStringList>
#include <QStyle>

#include <algorithm>
#include <chrono>
#include <thread>

namespace qev {

namespace {

QWidget* Dialog_Parent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

// The font a desktop draws window titles in, as near as Qt can tell: the
// style's title-bar font, bold and two points larger (title bars use a
// larger, bolder face than body text).
QFont Title_Font() {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() + 2);
    return font;
}

// The width a window needs for `caption` in its title bar: the caption in
// the title font, and room for the window's icon and three buttons, each a
// square as high as the title bar (the style's, or the font's height and a
// margin, whichever is more).
int Caption_Width(const QString& caption, const QStyle* style) {
    const QFontMetrics metrics(Title_Font());
    const int bar = std::max(style ? style->pixelMetric(QStyle::PM_TitleBarHeight) : 0, metrics.height() + 8);
    return metrics.horizontalAdvance(caption) + 4 * bar;
}

// A message box is only as wide as its text and buttons need; a short text
// under a longer caption ("Are You Sure?" under "Clear All Data") leaves the
// window manager too little title bar for the caption. An invisible item as
// wide as the caption needs, laid over the button row, widens the box.
void Fit_Caption(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr || grid->rowCount() == 0) return;
    int width = Caption_Width(box.windowTitle(), box.style());
    if (const QScreen* screen = box.screen()) width = std::min(width, screen->availableGeometry().width());
    const QMargins margins = grid->contentsMargins();
    grid->addItem(
        new QSpacerItem(width - margins.left() - margins.right(), 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
        grid->rowCount() - 1, 0, 1, grid->columnCount());
}

}  // namespace

TMessage_Answer Show_Message_Box(const std::string& text, const std::string& caption, TMessage_Kind kind) {
    const bool question = kind == TMessage_Kind::Question;
    QMessageBox box(question ? QMessageBox::Warning : QMessageBox::Critical, To_Q(caption), To_Q(text),
                    question ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    Fit_Caption(box);
    return box.exec() == QMessageBox::Ok ? TMessage_Answer::OK : TMessage_Answer::Cancel;
}

QString Qt_Name_Filters(const std::string& filter) {
    const QStringList parts = To_Q(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << (description.contains(QLatin1Char('('))
                        ? description
                        : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

TMessage_Answer TQt_Feedback::Message_Box(const std::string& text, const std::string& caption, TMessage_Kind kind) {
    return Show_Message_Box(text, caption, kind);
}

std::optional<std::string> TQt_Feedback::Choose_File(const TFile_Request& request) {
    QFileDialog dialog(Dialog_Parent(), QString(), To_Q(request.Initial_Folder), Qt_Name_Filters(request.Filter));
    dialog.setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.Save || !request.Must_Exist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);  // the caller asks its own question
    dialog.setDefaultSuffix(To_Q(request.Default_Extension));
    if (!request.Initial_Name.empty()) dialog.selectFile(To_Q(request.Initial_Name));
    const QStringList filters = Qt_Name_Filters(request.Filter).split(QStringLiteral(";;"));
    if (request.Chosen_Filter != nullptr) {
        // "Flipper Files(*.ir)" gives a bare name the extension "ir"; "*.*" keeps the default.
        const auto suffix_of = [&](const QString& filter) {
            const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
            return match.hasMatch() ? match.captured(1) : To_Q(request.Default_Extension);
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&](const QString& filter) { dialog.setDefaultSuffix(suffix_of(filter)); });
        if (!filters.isEmpty()) dialog.setDefaultSuffix(suffix_of(filters.front()));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    if (request.Chosen_Filter != nullptr) {
        *request.Chosen_Filter = static_cast<int>(std::max<qsizetype>(filters.indexOf(dialog.selectedNameFilter()), 0));
    }
    return From_Q(dialog.selectedFiles().front());
}

std::optional<std::string> TQt_Feedback::Choose_Folder(const std::string& title, const std::string& initial_folder) {
    const QString folder = QFileDialog::getExistingDirectory(Dialog_Parent(), To_Q(title), To_Q(initial_folder));
    if (folder.isEmpty()) return std::nullopt;
    return From_Q(folder);
}

void TQt_Feedback::Process_Pending_Events() { QCoreApplication::processEvents(); }

// Sleeps in short slices so that a request to end the program cuts the
// wait short (the window is not served meanwhile, as the macro language
// says of @WAIT).
void TQt_Feedback::Sleep_Ms(int milliseconds) {
    using Clock = std::chrono::steady_clock;
    constexpr auto Slice = std::chrono::milliseconds(20);
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    while (!Program_Stop_Requested()) {
        const Clock::time_point now = Clock::now();
        if (now >= end) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, Slice));
    }
}

}  // namespace qev
