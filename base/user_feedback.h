// How the program asks the person using it something, or tells them.
//
// Every message box, file or folder choice, pause and "let the window
// repaint" of the program goes through one TUser_Feedback, so the core and
// the dialogs stay testable without a person: tests record what was shown
// and answer from a script; the program implements it with Qt's dialogs
// (controls/qt_feedback.h). Texts and paths are bytes in the locale's
// encoding, as everywhere in the core.
#ifndef QEV_BASE_USER_FEEDBACK_H
#define QEV_BASE_USER_FEEDBACK_H

#include <optional>
#include <string>

namespace qev {

enum class TMessage_Kind {
    Error,     // stop icon, OK button
    Question,  // warning icon, OK and Cancel buttons
};

enum class TMessage_Answer { OK, Cancel };

// One file dialog.
struct TFile_Request {
    bool Save = false;           // false: choose an existing file to open
    std::string Initial_Folder;  // where the dialog starts
    std::string Initial_Name;    // file name offered in the name field
    // Pairs of description and pattern list, '|'-separated:
    // "Remote Control Data Files(*.rmt)|*.rmt|All Files(*.*)|*.*"
    std::string Filter;
    std::string Default_Extension;  // added to a typed name that has none ("rmt")
    bool Must_Exist = true;         // an open dialog accepts only existing files
    // When set, receives the index (from 0) of the filter the user left
    // chosen. The dialog also gives a typed name without extension that
    // filter's extension rather than Default_Extension.
    int* Chosen_Filter = nullptr;
};

class TUser_Feedback {
public:
    virtual ~TUser_Feedback() = default;

    // A modal box; errors answer OK.
    virtual TMessage_Answer Message_Box(const std::string& text, const std::string& caption, TMessage_Kind kind) = 0;
    // The chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<std::string> Choose_File(const TFile_Request& request) = 0;
    // The chosen folder, or nothing when the user cancelled.
    virtual std::optional<std::string> Choose_Folder(const std::string& title, const std::string& initial_folder) = 0;
    // Lets waiting window events (repaints, clicks, socket data) be handled now.
    virtual void Process_Pending_Events() = 0;
    virtual void Sleep_Ms(int milliseconds) = 0;

    void Show_Error(const std::string& text, const std::string& caption) {
        Message_Box(text, caption, TMessage_Kind::Error);
    }
    bool Ask_OK(const std::string& text, const std::string& caption) {
        return Message_Box(text, caption, TMessage_Kind::Question) == TMessage_Answer::OK;
    }
};

}  // namespace qev

#endif
