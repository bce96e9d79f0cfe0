#include "tests/support/qt/window_fixture.h"

#include "harness/sim_port_controls.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace qev::test {

TQEV_Main_Form& Window_Test::Create() {
    form = std::make_unique<TQEV_Main_Form>(counter, priority, feedback);
    // Pending events pass as they do in the program (a macro run lets them through).
    feedback.On_Pending_Events = [] { QCoreApplication::processEvents(); };
    form->State().Executable_Path = "/opt/qev/QEV_LPT";
    return *form;
}

TQEV_Main_Form& Window_Test::Start() {
    Create();
    EXPECT_TRUE(form->Start_Up());
    return *form;
}

TPictureButton* Window_Test::Key(const char* component) const {
    auto* key = form->findChild<TPictureButton*>(QString::fromLatin1(component));
    EXPECT_NE(key, nullptr) << component;
    return key;
}

QComboBox* Window_Test::Combo() const { return form->findChild<QComboBox*>(QStringLiteral("IR_Command_ComboBox")); }

std::vector<std::string> Window_Test::Texts() const { return Message_Texts(messages); }

long long Window_Test::Tx_Count() const {
    const TSim_Port_Controls sim(form->State().Port);
    return sim.Tx_Count ? sim.Tx_Count() : -1;
}

void Window_Test::Tx_Clear() const {
    const TSim_Port_Controls sim(form->State().Port);
    if (sim.Tx_Clear) sim.Tx_Clear();
}

std::vector<uint8_t> Window_Test::Tx_Values() const {
    std::vector<uint8_t> values;
    for (const TSim_Tx_Write& write : TSim_Port_Controls(form->State().Port).Writes()) values.push_back(write.Value);
    return values;
}

Window_Test::TModal_Run Window_Test::Run_Modal(QDialog& dialog, const char* closing_button) {
    TModal_Run run;
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QTimer::singleShot(0, form.get(), [&] {
        QWidget* shown = QApplication::activeModalWidget();
        if (!shown) return;
        run.Name = shown->objectName();
        run.Modal = shown->isModal();
        run.Off_Centre = (shown->frameGeometry().center() - form->frameGeometry().center()).manhattanLength();
        if (auto* button = shown->findChild<QPushButton*>(QString::fromLatin1(closing_button)))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            shown->close();
    });
    run.Result = dialog.exec();
    return run;
}

std::string Window_Test::Command_File(const std::string& name, const std::string& text) const {
    const std::string path = profile.File(name);
    Write_File(path, text);
    return path;
}

}  // namespace qev::test
