// TMacro_Command_Form: the macro editor. A text of macro lines, run line by
// line with the current line highlighted (Macro Execute) and stopped before
// its next line (Abort); menus to import and export Macro files, to copy,
// paste and clear. Every opening starts with an empty text; nothing is kept
// unless exported.
//
// During a run the text is read-only and the menu items that would change
// it or start a second run are disabled; a request to close the dialog
// closes it when the run has ended.
#ifndef QEV_MACRO_UI_MACRO_COMMAND_FORM_H
#define QEV_MACRO_UI_MACRO_COMMAND_FORM_H

#include "macro/core/macro_run.h"

#include <QDialog>

class QAction;
class QCloseEvent;
class QKeyEvent;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;

namespace qev {

class TMacro_Command_Form : public QDialog, private qev::TMacro_Display {
    Q_OBJECT

public:
    static constexpr int Client_Width = 426;
    static constexpr int Client_Height = 437;

    TMacro_Command_Form(qev::TQEV_State& state, QWidget* parent);

    void Macro_Execute_ButtonClick();
    void Abort_ButtonClick();
    void Macro_ImportClick();
    void Macro_ExportClick();
    void Macro_CopyClick();
    void Macro_PasteClick();
    void Macro_ClearClick();
    void Macro_CloseClick();

    bool Running() const { return executor_.Running(); }

public slots:
    void reject() override;  // a close by Escape or by the program waits for the run

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Create_Components();
    void Create_Menu();

    // ---- TMacro_Display ------------------------------------------------------
    int32_t Line_Count() const override;
    std::string Line(int32_t index) const override;
    int32_t Line_Start(int32_t index) const override;
    void Show_Selection(int32_t start, int32_t length) override;
    void Begin_Run() override;
    void End_Run() override;
    void Set_Running_Look(bool running);
    // The whole text as bytes, lines separated by '\n'.
    std::string Memo_Bytes() const;

    qev::TQEV_State& state_;
    qev::TMacro_Executor executor_;
    QMenuBar* menu_bar_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    QPushButton* execute_button_ = nullptr;
    QPushButton* abort_button_ = nullptr;
    std::vector<QAction*> blocked_while_running_;  // Import, Paste, Clear, Execute
    std::string import_name_ = "temp.mcr";
    std::string export_name_ = "temp.mcr";
    bool close_pending_ = false;
    bool byte_order_mark_ = false;  // the text imported last began with one
};

}  // namespace qev

#endif
