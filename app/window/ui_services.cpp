#include "ui_services.h"

#include <QFileDialog>
#include <QMessageBox>

namespace qev {

TMessage_Answer Show_Message_Box(const std::string& text, const std::string& caption, TMessage_Kind kind) {
    const bool question = kind == TMessage_Kind::Question;
    QMessageBox box(question ? QMessageBox::Warning : QMessageBox::Critical, To_Q(caption), To_Q(text),
                    question ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Ok ? TMessage_Answer::OK : TMessage_Answer::Cancel;
}

std::optional<QString> Run_File_Dialog(QWidget* parent, const TFile_Dialog_Request& request) {
    QFileDialog dialog(parent, QString(), request.Initial_Folder, request.Filter);
    dialog.setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);  // the caller asks its own question
    dialog.setDefaultSuffix(request.Default_Suffix);
    if (!request.Initial_Name.isEmpty()) dialog.selectFile(request.Initial_Name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front();
}

}  // namespace qev
