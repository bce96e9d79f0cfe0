// QEV_LPT: learns infrared remote-control commands from a receiver on the
// parallel port and plays them back through an LED, from a window drawn as a
// remote control.
#include "app/icons/qev_lpt.xpm"
#include "app/orderly_exit.h"
#include "app/secure_start.h"
#include "app/window/main_form.h"
#include "controls/qt_feedback.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>

#include <cstdio>
#include <exception>

namespace {

// An exception that escapes an event handler ends the program with one
// message box instead of tearing it down mid-event.
class TQEV_Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            Fail(e.what());
        } catch (...) {
            Fail("Unknown error");
        }
        return false;
    }
    static void Fail(const char* what) {
        qev::Show_Message_Box(what, "QEV_LPT", qev::TMessage_Kind::Error);
        QCoreApplication::exit(1);
    }
};

// In a privileged run Qt looks for plugins in the system's folder alone: not
// in QT_PLUGIN_PATH (gone from the environment by now), a qt.conf's folder or
// the program's own folder. Set before the application object exists, and
// again afterwards, because constructing it adds the program's folder back.
void Keep_To_System_Plugins() { QCoreApplication::setLibraryPaths({QStringLiteral(QEV_QT_PLUGIN_DIR)}); }

void Tell_Secure_Start(const qev::TSecure_Start& start) {
    if (start.Capabilities_Dropped)
        std::fprintf(stderr,
                     "QEV_LPT: others than root can write to the program's folder; running without its "
                     "capability\n");
    std::string ignored;
    for (const std::string& name : start.Removed_Variables)
        if (name.starts_with("QT_")) ignored += " " + name;
    for (const std::string& argument : start.Removed_Arguments) ignored += " " + argument;
    if (!ignored.empty()) std::fprintf(stderr, "QEV_LPT: running with a capability, ignored:%s\n", ignored.c_str());
}

}  // namespace

int main(int argc, char* argv[]) {
    // Before anything reads the environment or the arguments.
    const qev::TSecure_Start secure = qev::Secure_Start(argc, argv);
    Tell_Secure_Start(secure);
    if (secure.Privileged) Keep_To_System_Plugins();
    qev::Install_Close_Signals();
    // Taken before Qt sees the arguments: a link Kitchen -> QEV_LPT keeps its
    // own Settings file, Kitchen.INI.
    const std::string executable = qev::Started_Executable_Path(argc > 0 ? argv[0] : nullptr);
    TQEV_Application application(argc, argv);
    if (secure.Privileged) Keep_To_System_Plugins();
    // The desktop entry's name, so that a desktop shows the window under the
    // menu entry's icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.qevlpt.qev_lpt"));
    QApplication::setWindowIcon(QIcon(QPixmap(qev_lpt_xpm)));
    try {
        qev::TMonotonic_Counter counter;
        qev::TLinux_Priority priority;
        qev::TQt_Feedback feedback;
        qev::TQEV_Main_Form form(counter, priority, feedback);
        form.State().Executable_Path = executable;
        auto* close_on_signal = new qev::TClose_On_Signal(&form);
        const bool started = form.Start_Up();
        // A port library that cannot send or learn is no reason to stop, but
        // whoever started the program should hear why the LED stays dark.
        if (!form.State().Port_Problem().empty())
            std::fprintf(stderr, "QEV_LPT: %s\n", form.State().Port_Problem().c_str());
        if (!started) return 1;
        if (close_on_signal->Start_Up_Done() && form.close()) return 0;
        form.show();
        return application.exec();
    } catch (const std::exception& e) {
        TQEV_Application::Fail(e.what());
    }
    return 1;
}
