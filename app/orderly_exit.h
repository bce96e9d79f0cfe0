// SIGTERM, SIGINT and SIGHUP end the program in an orderly way, as the window's
// close box does, so the shutdown sequence runs and the Settings file is
// written (what a desktop session's logout or a service manager expects).
//
// The signal handler only writes a byte to a pipe; the event loop reads it,
// answers any open message box or dialog with Cancel, and closes the main
// window. A signal during start-up is held until start-up is over: if it
// fails the program ends as usual, otherwise the window closes at once.
#ifndef QEV_APP_ORDERLY_EXIT_H
#define QEV_APP_ORDERLY_EXIT_H

#include <QObject>

class QWidget;

namespace qev {

// Installs the handlers; call first thing in main().
void Install_Close_Signals();

class TClose_On_Signal : public QObject {
public:
    explicit TClose_On_Signal(QWidget* window);
    // Start-up is over: a signal now closes the window at once; true when one
    // arrived during start-up (the caller then closes the window).
    bool Start_Up_Done();

private:
    void On_Signal();
    QWidget* window_;
    bool started_ = false;
    bool pending_ = false;
};

}  // namespace qev

#endif
