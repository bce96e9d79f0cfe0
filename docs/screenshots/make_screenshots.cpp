// Renders the documentation's screenshots of the program's windows into a
// folder (default: docs/images). Runs on any platform plugin; under Xvfb or
// "offscreen" it needs no desktop:
//
//   QT_QPA_PLATFORM=offscreen build/bin/qev_screenshots docs/images
//
// Each picture uses its own scratch profile folder and the simulated port.
#include "main_form.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>

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

bool Shoot(const QString& out, const char* name, const char* settings, const char* command_file) {
    QTemporaryDir profile;
    qputenv("USERPROFILE", profile.path().toLocal8Bit());
    if (QByteArray(settings).contains("BACK_IMAGE")) Write_Background(profile.filePath("face.bmp"));
    QString ini = QString::fromUtf8(settings);
    ini.replace(QStringLiteral("$PROFILE"), profile.path());
    Write_Text(profile.filePath("QEV_LPT.INI"), ini.toUtf8().constData());
    qev::TMonotonic_Counter counter;
    qev::TLinux_Priority priority;
    TQEV_Main_Form form(counter, priority);
    form.State().Executable_Path = "QEV_LPT";
    if (!form.Start_Up()) return false;
    if (command_file) {
        const QString file = profile.filePath(QStringLiteral("リビングのテレビ.rmt"));
        Write_Text(file, command_file);
        form.State().Load_Command_File(file.toLocal8Bit().toStdString(), 1);
    }
    form.show();
    QApplication::processEvents();
    const QString path = QDir(out).filePath(QString::fromLatin1(name));
    const bool saved = form.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.toLocal8Bit().constData());
    form.hide();
    return saved;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("IO_BACKEND", "sim");
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/images");
    QDir().mkpath(out);
    const char* commands =
        "@REPEAT = 1\r\nPOWER,FF,FF,FF,FF,FF,FF,FF,FF,00\r\nPLAY,FF,01\r\nSTOP,FF,02\r\nVOL-UP,FF,03\r\n"
        "VOL-DOWN,FF,04\r\nCH-UP,FF,05\r\n1,FF,06\r\n2,FF,07\r\n3,FF,08\r\n電源,FF,09\r\n";
    bool ok = Shoot(out, "main_window.png", "", nullptr);
    ok = Shoot(out, "main_window_see_through.png",
               "[FORM]\nBACK_IMAGE=$PROFILE/face.bmp\nBUTTON_TRANSPARENCY=YES\nTRANSPARENCY_MODE=1\n", commands) && ok;
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
