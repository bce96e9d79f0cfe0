// The main menu from the keyboard: every menu's access letters are its own,
// and Alt + the menu's letter, then the item's letter, runs that item at once.
#include "tests/support/qt/window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <map>

namespace qev::test {
namespace {

// The access letter of a caption ("SetUp(&X)" -> 'X'), upper case; 0 when
// it has none.
char Access_Letter(const QString& caption) {
    const QKeySequence mnemonic = QKeySequence::mnemonic(caption);
    if (mnemonic.isEmpty()) return 0;
    return static_cast<char>(mnemonic[0].key());
}

TEST_F(Window_Test, Every_Menu_Gives_Each_Item_A_Letter_Of_Its_Own) {
    Start();
    std::vector<std::pair<QString, QList<QAction*>>> menus = {{"menu bar", form->menuBar()->actions()}};
    for (QAction* entry : form->menuBar()->actions()) menus.emplace_back(entry->text(), entry->menu()->actions());
    for (const auto& [menu, items] : menus) {
        SCOPED_TRACE(menu.toStdString());
        std::map<char, QString> taken;
        for (const QAction* item : items) {
            const char letter = Access_Letter(item->text());
            EXPECT_NE(letter, 0) << item->text().toStdString() << " has no access letter";
            const auto [other, fresh] = taken.emplace(letter, item->text());
            EXPECT_TRUE(fresh) << item->text().toStdString() << " and " << other->second.toStdString() << " share "
                               << letter;
        }
    }
}

TEST_F(Window_Test, Alt_And_Two_Letters_Run_The_Item) {
    struct TRow {
        Qt::Key Menu;
        Qt::Key Item;
        const char* Component;  // the item that must run
        const char* Dialog;     // the dialog it shows, when it shows one
    };
    const TRow rows[] = {
        {Qt::Key_F, Qt::Key_X, "SetUp", "SetUp_Form"},
        {Qt::Key_F, Qt::Key_R, "ReadfromFile", nullptr},
        {Qt::Key_F, Qt::Key_S, "SavetoFile", nullptr},
        {Qt::Key_F, Qt::Key_I, "Import", nullptr},
        {Qt::Key_F, Qt::Key_P, "Export", nullptr},
        {Qt::Key_E, Qt::Key_C, "CaptureCommand", "Capture_Command_Form"},
        {Qt::Key_E, Qt::Key_X, "Clear_All_Data", nullptr},
        {Qt::Key_O, Qt::Key_M, "Macro", "Macro_Command_Form"},
        {Qt::Key_H, Qt::Key_V, "Version", "VersionDialogForm"},
    };
    Start();
    form->show();
    std::vector<std::string> triggered, dialogs;
    for (QAction* action : form->findChildren<QAction*>()) {
        QObject::connect(action, &QAction::triggered, form.get(),
                         [&triggered, action] { triggered.push_back(action->objectName().toStdString()); });
    }
    // A dialog an item opens is noted and closed; file dialogs and message
    // boxes are answered by the test's feedback (Cancel).
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&dialogs] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            dialogs.push_back(dialog->objectName().toStdString());
            dialog->close();
        }
    });
    closer.start(5);
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Component);
        triggered.clear();
        dialogs.clear();
        answers.push_back(TMessage_Answer::Cancel);
        form->activateWindow();  // back from the last row's dialog
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form.get(), row.Menu, Qt::AltModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr) << "Alt + the menu's letter opens it";
        QTest::keyClick(menu, row.Item);
        EXPECT_EQ(triggered, std::vector<std::string>{row.Component});
        if (row.Dialog) {
            EXPECT_EQ(dialogs, std::vector<std::string>{row.Dialog});
        }
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "the menu closed";
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        answers.clear();
    }
}

}  // namespace
}  // namespace qev::test
