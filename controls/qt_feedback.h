// TQt_Feedback: the program's TUser_Feedback, with Qt's dialogs.
//
// Message boxes belong to the application (no parent) and are application
// modal: errors with the stop icon and OK, questions with the warning icon
// and OK and Cancel. File and folder dialogs open over the window the user
// is working in (the active modal dialog, else the active window).
#ifndef QEV_CONTROLS_QT_FEEDBACK_H
#define QEV_CONTROLS_QT_FEEDBACK_H

#include "base/user_feedback.h"

#include <QString>

namespace qev {

class TQt_Feedback : public TUser_Feedback {
public:
    TMessage_Answer Message_Box(const std::string& text, const std::string& caption, TMessage_Kind kind) override;
    std::optional<std::string> Choose_File(const TFile_Request& request) override;
    std::optional<std::string> Choose_Folder(const std::string& title, const std::string& initial_folder) override;
    void Process_Pending_Events() override;
    void Sleep_Ms(int milliseconds) override;
};

// A message box without a feedback object (the last-resort error of main()).
// It is wide enough for the window manager to show its whole caption.
TMessage_Answer Show_Message_Box(const std::string& text, const std::string& caption, TMessage_Kind kind);

// "Description(*.rmt)|*.rmt|All Files(*.*)|*.*" as Qt's name filter list
// "Description(*.rmt);;All Files(*.*)": a description that names no
// pattern of its own gets its pattern list added in parentheses.
QString Qt_Name_Filters(const std::string& filter);

}  // namespace qev

#endif
