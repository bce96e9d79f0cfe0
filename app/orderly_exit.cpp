#include "app/orderly_exit.h"

#include "base/stop_request.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <unistd.h>
#include <csignal>

namespace qev {

namespace {

int signal_pipe[2] = {-1, -1};

void On_Close_Signal(int) {
    // Seen at once by whatever long action runs (a wait, a capture's wait
    // for the remote, a macro run, queued server lines); the byte wakes the
    // event loop, which then closes the window.
    qev::Request_Program_Stop();
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(signal_pipe[1], &byte, 1);
}

// Modal dialogs and message boxes give Cancel (or their only button).
void Dismiss_Modal_Dialogs() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible() && dialog->isModal()) dialog->reject();
    }
}

}  // namespace

void Install_Close_Signals() {
    if (::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = On_Close_Signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A closed terminal: the Settings file is written as for SIGTERM.
    sigaction(SIGHUP, &action, nullptr);
}

TClose_On_Signal::TClose_On_Signal(QWidget* window) : QObject(window), window_(window) {
    if (signal_pipe[0] < 0) return;
    auto* notifier = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TClose_On_Signal::On_Signal);
}

bool TClose_On_Signal::Start_Up_Done() {
    started_ = true;
    return pending_;
}

void TClose_On_Signal::On_Signal() {
    char bytes[16];
    while (::read(signal_pipe[0], bytes, sizeof bytes) > 0) {
    }
    Dismiss_Modal_Dialogs();
    if (!started_) {
        pending_ = true;
        return;
    }
    // Closed from the main loop, once the handler that owned the dialog is done.
    QTimer::singleShot(0, window_, [window = window_] { window->close(); });
}

}  // namespace qev
