// Option ▸ Listen: the receiver of a kernel IR device kept open while the
// program is idle. The listener's thread hands each signal to this window's
// thread, where the Command table lives; the status bar's middle shows the
// last key heard and the macro it ran.
#include "app/window/main_form.h"

#include "controls/local_text.h"
#include "macro/core/listening_session.h"
#include "net/lirc_program.h"
#include "net/lirc_protocol.h"
#include "net/lirc_server.h"

#include <QAction>
#include <QLabel>
#include <QMetaObject>
#include <QStatusBar>

#include <memory>

namespace qev {

// The item carries a check mark while the receiver listens, as Server does.
void TQEV_Main_Form::Set_Listen_Check(bool on) {
    QAction* item = findChild<QAction*>(QStringLiteral("Listen"));
    item->setCheckable(on);
    item->setChecked(on);
}

bool TQEV_Main_Form::Start_Listening(std::string* why) {
    if (!state_.Listener.Can_Listen()) {
        *why =
            "Listening needs a port that receives whole signals (a kernel IR device: IO_BACKEND=lirc, or "
            "simlirc to try it); " +
            state_.Port_Summary() + " does not.";
        return false;
    }
    if (!listening_) listening_ = std::make_unique<TListening_Session>(Key_Macros_Path(state_.Settings_Path()));
    if (!heard_text_) {
        heard_text_ = new QLabel(status_bar_);
        heard_text_->setObjectName(QStringLiteral("Heard_Label"));
        status_bar_->addWidget(heard_text_, 1);
    }
    const bool started = state_.Listener.Start(
        [this](THeard_Signal signal) {
            auto heard = std::make_shared<const THeard_Signal>(std::move(signal));
            QMetaObject::invokeMethod(
                this, [this, heard] { Key_Heard(*heard); }, Qt::QueuedConnection);
        },
        [this](const std::string& failure) {
            QMetaObject::invokeMethod(
                this,
                [this, failure] {
                    Set_Listen_Check(false);
                    heard_text_->setText(To_Q("Listening ended: " + failure));
                },
                Qt::QueuedConnection);
        });
    if (started) heard_text_->setText(QStringLiteral("Listening"));
    return started;
}

void TQEV_Main_Form::Stop_Listening() {
    state_.Listener.Stop();
    if (heard_text_) heard_text_->clear();
}

void TQEV_Main_Form::Key_Heard(const THeard_Signal& signal) {
    if (!state_.Listener.Listening()) return;  // stopped since
    const std::optional<THeard_Press> press = listening_->Name(state_, signal);
    if (!press) return;
    // LIRC's clients first: the key's macro may take seconds.
    lirc_server_->Broadcast(
        Lirc_Key_Line(Lirc_Key_Code(press->Key), press->Repeat, press->Key.Name, lirc_program_->Remote_Name()));
    const THeard_Outcome outcome = listening_->Act(state_, *press);
    heard_text_->setText(To_Q(outcome.Status));
    heard_text_->setToolTip(To_Q(outcome.Details));
}

void TQEV_Main_Form::Apply_Listen_Settings() {
    const bool wanted = state_.Settings.LISTEN_ENABLE != 0;
    if (wanted == state_.Listener.Listening()) return;
    if (wanted) return ListenClick();
    Stop_Listening();
    Set_Listen_Check(false);
}

void TQEV_Main_Form::ListenClick() {
    if (state_.Listener.Listening()) {
        Stop_Listening();
        state_.Settings.LISTEN_ENABLE = 0;
        Set_Listen_Check(false);
        return;
    }
    std::string why;
    if (!Start_Listening(&why)) {
        Set_Listen_Check(false);
        state_.Feedback.Show_Error(why, "Listen");
        return;
    }
    state_.Settings.LISTEN_ENABLE = 1;
    Set_Listen_Check(true);
}

}  // namespace qev
