#include "macro/ui/macro_command_form.h"

#include "controls/form_font.h"
#include "controls/local_text.h"
#include "macro/core/macro_file.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include <algorithm>

namespace qev {

TMacro_Command_Form::TMacro_Command_Form(TQEV_State& state, QWidget* parent)
    : QDialog(parent), state_(state), executor_(state, *this) {
    setObjectName(QStringLiteral("Macro_Command_Form"));
    setWindowTitle(QStringLiteral("Macro"));
    setFont(Form_Font());
    Create_Menu();
    Create_Components();
    // The client area lies below the menu bar, as on the desktop the form was drawn for.
    setFixedSize(Client_Width, menu_bar_->sizeHint().height() + Client_Height);
    // Not moved: a dialog with a parent is centred on it when shown.
}

void TMacro_Command_Form::Create_Menu() {
    menu_bar_ = new QMenuBar(this);
    menu_bar_->setObjectName(QStringLiteral("Macro_MainMenu"));
    struct TItem {
        const char* menu;
        const char* component;
        const char* caption;
        void (TMacro_Command_Form::*handler)();
        bool blocked_while_running;
    };
    const TItem items[] = {
        {"Macro_File", "Macro_Import", "&Import", &TMacro_Command_Form::Macro_ImportClick, true},
        {"Macro_File", "Macro_Export", "&Export", &TMacro_Command_Form::Macro_ExportClick, false},
        {"Macro_File", "Macro_Close", "&Close", &TMacro_Command_Form::Macro_CloseClick, false},
        {"Macro_Edit", "Macro_Copy", "&Copy", &TMacro_Command_Form::Macro_CopyClick, false},
        {"Macro_Edit", "Macro_Paste", "&Paste", &TMacro_Command_Form::Macro_PasteClick, true},
        {"Macro_Edit", "Macro_Clear", "Clear(&X)", &TMacro_Command_Form::Macro_ClearClick, true},
        {"Macro_Command", "Macro_Execute", "&Execute", &TMacro_Command_Form::Macro_Execute_ButtonClick, true},
    };
    const struct {
        const char* component;
        const char* caption;
    } menus[] = {{"Macro_File", "&File"}, {"Macro_Edit", "&Edit"}, {"Macro_Command", "&Command"}};
    for (const auto& m : menus) {
        QMenu* menu = menu_bar_->addMenu(QString::fromLatin1(m.caption));
        menu->setObjectName(QString::fromLatin1(m.component));
        for (const TItem& item : items) {
            if (std::string_view(item.menu) != m.component) continue;
            QAction* action = menu->addAction(QString::fromLatin1(item.caption));
            action->setObjectName(QString::fromLatin1(item.component));
            connect(action, &QAction::triggered, this, item.handler);
            if (item.blocked_while_running) blocked_while_running_.push_back(action);
        }
    }
}

void TMacro_Command_Form::Create_Components() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setGeometry(0, menu_bar_->sizeHint().height(), Client_Width, Client_Height);
    menu_bar_->setGeometry(0, 0, Client_Width, menu_bar_->sizeHint().height());

    memo_ = new QPlainTextEdit(client);
    memo_->setObjectName(QStringLiteral("Macro_Memo"));
    memo_->setGeometry(8, 8, 289, 417);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The current line stays highlighted while the focus is on the buttons.
    QPalette palette = memo_->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    memo_->setPalette(palette);

    const struct {
        QPushButton*& button;
        const char* name;
        const char* caption;
        int top;
        void (TMacro_Command_Form::*handler)();
    } buttons[] = {
        {execute_button_, "Macro_Execute_Button", "Macro Execute", 8, &TMacro_Command_Form::Macro_Execute_ButtonClick},
        {abort_button_, "Abort_Button", "Abort", 44, &TMacro_Command_Form::Abort_ButtonClick},
    };
    for (const auto& b : buttons) {
        b.button = new QPushButton(QString::fromLatin1(b.caption), client);
        b.button->setObjectName(QString::fromLatin1(b.name));
        b.button->setGeometry(305, b.top, 113, 28);
        b.button->setAutoDefault(false);
        connect(b.button, &QPushButton::clicked, this, b.handler);
    }
    abort_button_->setEnabled(false);
}

// ---- Handlers -------------------------------------------------------------------

void TMacro_Command_Form::Macro_Execute_ButtonClick() {
    executor_.Run();
    if (close_pending_) {
        close_pending_ = false;
        QDialog::reject();
    }
}

void TMacro_Command_Form::Abort_ButtonClick() { executor_.Abort(); }

void TMacro_Command_Form::Macro_ImportClick() {
    auto text = Import_Macro_File(state_, import_name_);
    if (!text) return;
    byte_order_mark_ = Take_Byte_Order_Mark(*text);
    memo_->setPlainText(To_Q(*text));
}

void TMacro_Command_Form::Macro_ExportClick() {
    Export_Macro_File(state_, (byte_order_mark_ ? std::string(Byte_Order_Mark) : "") + Memo_Bytes(), export_name_);
}

void TMacro_Command_Form::Macro_CopyClick() { memo_->copy(); }

void TMacro_Command_Form::Macro_PasteClick() { memo_->paste(); }  // nothing while read-only

void TMacro_Command_Form::Macro_ClearClick() {
    if (!state_.Feedback.Ask_OK("Are You Sure?", "Clear All Data")) return;
    memo_->clear();
    byte_order_mark_ = false;
}

void TMacro_Command_Form::Macro_CloseClick() { close(); }

void TMacro_Command_Form::reject() {
    if (Running()) {
        close_pending_ = true;
        return;
    }
    QDialog::reject();
}

void TMacro_Command_Form::closeEvent(QCloseEvent* event) {
    if (Running()) {
        close_pending_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

// Escape would close the dialog and lose the macro: it closes by its menu or
// its close box only.
void TMacro_Command_Form::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- The text as the executor sees it ---------------------------------------------

int32_t TMacro_Command_Form::Line_Count() const { return memo_->document()->blockCount(); }

// The lines as they stand, '\n' between them. Taken block by block rather
// than with toPlainText(), which makes a no-break space an ordinary one.
std::string TMacro_Command_Form::Memo_Bytes() const {
    std::string bytes;
    for (QTextBlock block = memo_->document()->begin(); block.isValid(); block = block.next()) {
        if (block != memo_->document()->begin()) bytes += '\n';
        bytes += From_Q(block.text());
    }
    return bytes;
}

std::string TMacro_Command_Form::Line(int32_t index) const {
    return From_Q(memo_->document()->findBlockByNumber(index).text());
}

int32_t TMacro_Command_Form::Line_Start(int32_t index) const {
    if (index >= Line_Count()) return memo_->document()->characterCount() - 1;
    return memo_->document()->findBlockByNumber(index).position();
}

void TMacro_Command_Form::Show_Selection(int32_t start, int32_t length) {
    const int end_of_text = memo_->document()->characterCount() - 1;
    QTextCursor cursor(memo_->document());
    cursor.setPosition(std::clamp(start, 0, end_of_text));
    cursor.setPosition(std::clamp(start + length, 0, end_of_text), QTextCursor::KeepAnchor);
    memo_->setTextCursor(cursor);
    memo_->ensureCursorVisible();
}

void TMacro_Command_Form::Begin_Run() { Set_Running_Look(true); }

void TMacro_Command_Form::End_Run() { Set_Running_Look(false); }

void TMacro_Command_Form::Set_Running_Look(bool running) {
    memo_->setReadOnly(running);
    execute_button_->setEnabled(!running);
    abort_button_->setEnabled(running);
    for (QAction* action : blocked_while_running_) action->setEnabled(!running);
}

}  // namespace qev
