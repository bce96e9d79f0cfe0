// Modal message boxes and file dialogs, each behind one replaceable function
// so tests can answer them without a person.
#ifndef QEV_UI_SERVICES_H
#define QEV_UI_SERVICES_H

#include "local_text.h"
#include "user_feedback.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace qev {

using TMessage_Box_Function =
    std::function<TMessage_Answer(const std::string& text, const std::string& caption, TMessage_Kind kind)>;

// An application-modal box: errors with the stop icon and OK, questions with
// the warning icon and OK and Cancel.
TMessage_Answer Show_Message_Box(const std::string& text, const std::string& caption, TMessage_Kind kind);

struct TFile_Dialog_Request {
    bool Save = false;
    QString Initial_Folder;
    QString Initial_Name;
    QString Filter;          // "Description(*.ext);;All Files(*.*)"
    QString Default_Suffix;  // added to a typed name without one
};

// The chosen file's full path, or nothing when the user cancelled.
using TFile_Dialog_Function = std::function<std::optional<QString>(const TFile_Dialog_Request& request)>;

std::optional<QString> Run_File_Dialog(QWidget* parent, const TFile_Dialog_Request& request);

}  // namespace qev

#endif
