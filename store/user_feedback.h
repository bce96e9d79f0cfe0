// How the core talks back to the person using the program.
//
// Every message box goes through Message_Box, so tests can record texts and
// captions and answer questions; the main window implements it with real
// dialogs. Set_Status_Text and Refresh_Command_View reach the main window's
// status bar and its command list and keys.
#ifndef QEV_USER_FEEDBACK_H
#define QEV_USER_FEEDBACK_H

#include <string>

namespace qev {

enum class TMessage_Kind {
    Error,     // stop icon, OK button
    Question,  // warning icon, OK and Cancel buttons
};

enum class TMessage_Answer { OK, Cancel };

class TUser_Feedback {
public:
    virtual ~TUser_Feedback() = default;
    virtual TMessage_Answer Message_Box(const std::string& text, const std::string& caption, TMessage_Kind kind) = 0;
    // Simple text of the main window's status bar.
    virtual void Set_Status_Text(const std::string& text) { (void)text; }
    // After the Command table changed: refill the command list, reset the key
    // pictures and bind the keys to the rows again.
    virtual void Refresh_Command_View() {}

    void Show_Error(const std::string& text, const std::string& caption) {
        Message_Box(text, caption, TMessage_Kind::Error);
    }
    bool Ask_OK(const std::string& text, const std::string& caption) {
        return Message_Box(text, caption, TMessage_Kind::Question) == TMessage_Answer::OK;
    }
};

}  // namespace qev

#endif
