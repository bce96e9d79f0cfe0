// What the shared state asks of the main window when it has changed what the
// window shows. The window implements it; tests record the calls.
#ifndef QEV_APP_CORE_MAIN_VIEW_H
#define QEV_APP_CORE_MAIN_VIEW_H

#include <string>

namespace qev {

class TMain_View {
public:
    virtual ~TMain_View() = default;
    // The simple text of the status bar (the last Command file's name).
    virtual void Set_Status_Text(const std::string& text) = 0;
    // After the Command table changed: refill the command list, give every
    // key a blank picture and bind the keys to the rows again.
    virtual void Refresh_Command_View() = 0;
    // The last long action (a macro run, a capture) has ended: a close of the
    // window that had to wait for it can go ahead now.
    virtual void Busy_Ended() = 0;
    // After the background settings changed (the setup dialog's OK): load
    // BACK_IMAGE and prepare the label backdrop and the Send key (0, or -1
    // when the picture cannot be read, which has been shown), and bind and
    // paint the keys again.
    virtual int Apply_Background() = 0;
    virtual void Map_Keys() = 0;
};

}  // namespace qev

#endif
