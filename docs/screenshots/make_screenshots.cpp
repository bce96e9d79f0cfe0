// Renders the documentation's screenshots of the program's windows into a
// folder (default: docs/images). Runs on any platform plugin; under Xvfb or
// "offscreen" it needs no desktop:
//
//   QT_QPA_PLATFORM=offscreen build/bin/qev_screenshots docs/images
//
// Each picture uses its own scratch profile folder and the simulated port.
#include "app/window/main_form.h"
#include "controls/local_text.h"
#include "controls/qt_feedback.h"
#include "dialogs/ui/debug_tool_form.h"
#include "dialogs/ui/lpt_address_form.h"
#include "dialogs/ui/performance_info_form.h"
#include "dialogs/ui/setup_form.h"
#include "dialogs/ui/version_dialog_form.h"
#include "learn/ui/capture_command_form.h"
#include "macro/ui/macro_command_form.h"

#include "io/io_api.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>

namespace {

// A brushed-metal face with a darker keypad, as a background bitmap.
void Write_Background(const QString& path) {
    QImage image(305, 457, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient metal(0, 0, 305, 457);
    metal.setColorAt(0.0, QColor(96, 120, 160));
    metal.setColorAt(0.5, QColor(40, 60, 100));
    metal.setColorAt(1.0, QColor(20, 30, 60));
    painter.fillRect(image.rect(), metal);
    painter.setPen(QColor(255, 255, 255, 24));
    for (int y = 0; y < 457; y += 3) painter.drawLine(0, y, 305, y + 40);
    painter.end();
    image.save(path, "BMP");
}

void Write_Text(const QString& path, const char* text) {
    std::ofstream(path.toLocal8Bit().constData(), std::ios::binary) << text;
}

bool Save(QWidget& widget, const QString& out, const char* name) {
    widget.show();
    QApplication::processEvents();
    const QString path = QDir(out).filePath(QString::fromLatin1(name));
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.toLocal8Bit().constData());
    widget.hide();
    return saved;
}

// The capture dialog after learning the simulated remote's command.
bool Shoot_Capture(qev::TQEV_Main_Form& form, const QString& out) {
    qev::TCapture_Command_Form dialog(form.State(), &form);
    dialog.show();
    QApplication::processEvents();
    dialog.Start_Caputure_ButtonClick();
    dialog.findChild<QLineEdit*>(QStringLiteral("Command_Name_Edit"))->setText(QStringLiteral("POWER"));
    dialog.Registration_ButtonClick();
    return Save(dialog, out, "capture_dialog.png");
}

// The macro dialog with a short macro, its second line highlighted as in a run.
bool Shoot_Macro(qev::TQEV_Main_Form& form, const QString& out) {
    qev::TMacro_Command_Form dialog(form.State(), &form);
    auto* memo = dialog.findChild<QPlainTextEdit*>(QStringLiteral("Macro_Memo"));
    memo->setPlainText(
        QStringLiteral("; evening: TV on, three channels up\n"
                       "POWER\n"
                       "@WAIT 2000        ; let it warm up\n"
                       "@COUNT 3\n"
                       "CH-UP\n"
                       "@WAIT 500\n"
                       "@LOOP\n"
                       "@LOAD dvd.rmt     ; now the player\n"
                       "PLAY\n"));
    QTextCursor line(memo->document()->findBlockByNumber(4));
    line.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    memo->setTextCursor(line);
    return Save(dialog, out, "macro_dialog.png");
}

// The service dialogs as they open; the debug tool with the LED switched on
// (the simulated port's loopback lights the receiver lamp too), the
// performance dialog after one measurement, the version dialog reading the
// program's own executable beside this tool.
bool Shoot_Service_Dialogs(qev::TQEV_Main_Form& form, const QString& out) {
    qev::TQEV_State& state = form.State();
    bool ok = true;
    {
        qev::TSetUp_Form dialog(state, &form);
        ok = Save(dialog, out, "setup_dialog.png") && ok;
    }
    {
        qev::TLPT_Address_Form dialog(state, &form);
        ok = Save(dialog, out, "lpt_address_dialog.png") && ok;
    }
    {
        qev::TDebug_Tool_Form dialog(state, &form);
        dialog.IR_LED_ON_ButtonClick();
        dialog.show();
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < 250) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);  // lamp refreshes
        ok = Save(dialog, out, "debug_tool_dialog.png") && ok;
    }
    {
        qev::TPerformanceInfo_Form dialog(state, &form);
        dialog.Measure_ButtonClick();
        ok = Save(dialog, out, "performance_dialog.png") && ok;
    }
    {
        const std::string program = (QCoreApplication::applicationDirPath() + QStringLiteral("/QEV_LPT")).toStdString();
        qev::TVersionDialogForm dialog(state, &form, program);
        ok = Save(dialog, out, "version_dialog.png") && ok;
    }
    return ok;
}

// The window listening on the simulated IR device after its remote's POWER
// key ran the macro the KEYS file gives it.
bool Shoot_Listening(qev::TQEV_Main_Form& form, const QString& out, const QString& profile) {
    Write_Text(QDir(profile).filePath(QStringLiteral("QEV_LPT.KEYS")), "POWER = PLAY\n");
    form.findChild<QAction*>(QStringLiteral("Listen"))->trigger();
    const auto resolve = [&](const char* name) { return form.State().Port.Resolve(name); };
    auto* waiting = reinterpret_cast<decltype(&IoSimSignalWaiting)>(resolve("IoSimSignalWaiting"));
    auto* set_auto = reinterpret_cast<decltype(&IoSimRemoteSetAuto)>(resolve("IoSimRemoteSetAuto"));
    auto* set_file = reinterpret_cast<decltype(&IoSimRemoteSetFile)>(resolve("IoSimRemoteSetFile"));
    auto* trigger = reinterpret_cast<decltype(&IoSimRemoteTrigger)>(resolve("IoSimRemoteTrigger"));
    if (!waiting || !set_auto || !set_file || !trigger) return false;
    set_auto(0);
    const std::string file = form.State().Origin.Command_File_Path();
    if (set_file(file.c_str(), "POWER") != 0) return false;
    auto* heard = form.findChild<QLabel*>(QStringLiteral("Heard_Label"));
    QElapsedTimer timer;
    timer.start();
    while (waiting() == 0 && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    trigger();
    while ((!heard || !heard->text().startsWith(QStringLiteral("Heard"))) && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return heard && heard->text().startsWith(QStringLiteral("Heard")) && Save(form, out, "main_window_listening.png");
}

bool Shoot(const QString& out, const char* name, const char* settings, const char* command_file) {
    QTemporaryDir profile;
    qputenv("USERPROFILE", profile.path().toLocal8Bit());
    if (QByteArray(settings).contains("BACK_IMAGE")) Write_Background(profile.filePath("face.bmp"));
    QString ini = QString::fromUtf8(settings);
    ini.replace(QStringLiteral("$PROFILE"), profile.path());
    Write_Text(profile.filePath("QEV_LPT.INI"), ini.toUtf8().constData());
    qev::TMonotonic_Counter counter;
    qev::TLinux_Priority priority;
    qev::TQt_Feedback feedback;
    qev::TQEV_Main_Form form(counter, priority, feedback);
    form.State().Executable_Path = "QEV_LPT";
    if (!form.Start_Up()) return false;
    if (command_file) {
        const QString file = profile.filePath(QStringLiteral("リビングのテレビ.rmt"));
        Write_Text(file, command_file);
        form.State().Load_Command_File(qev::From_Q(file), 1);
    }
    if (std::string_view(name) == "capture") return Shoot_Capture(form, out);
    if (std::string_view(name) == "macro") return Shoot_Macro(form, out);
    if (std::string_view(name) == "service") return Shoot_Service_Dialogs(form, out);
    if (std::string_view(name) == "listening") return Shoot_Listening(form, out, profile.path());
    return Save(form, out, name);
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("IO_BACKEND", "sim");
    qputenv("IO_SIM_REMOTE_DELAY_MS", "5");
    qputenv("IO_SIM_LOOPBACK", "1");  // the debug tool's receiver lamp follows its LED
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/images");
    QDir().mkpath(out);
    const char* commands =
        "@REPEAT = 1\r\nPOWER,FF,FF,FF,FF,FF,FF,FF,FF,00\r\nPLAY,FF,01\r\nSTOP,FF,02\r\nVOL-UP,FF,03\r\n"
        "VOL-DOWN,FF,04\r\nCH-UP,FF,05\r\n1,FF,06\r\n2,FF,07\r\n3,FF,08\r\n電源,FF,09\r\n";
    bool ok = Shoot(out, "main_window.png", "", nullptr);
    ok = Shoot(out, "main_window_see_through.png",
               "[FORM]\nBACK_IMAGE=$PROFILE/face.bmp\nBUTTON_TRANSPARENCY=YES\nTRANSPARENCY_MODE=1\n", commands) &&
         ok;
    ok = Shoot(out, "capture", "", nullptr) && ok;
    ok = Shoot(out, "macro", "", nullptr) && ok;
    ok = Shoot(out, "service", "", nullptr) && ok;
    // Last: the simulated IR device in place of the simulated port.
    qputenv("IO_BACKEND", "simlirc");
    ok = Shoot(out, "listening", "", commands) && ok;
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
