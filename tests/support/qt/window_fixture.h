// A main window on a scratch profile folder and the simulated port, with
// message boxes and file dialogs answered by the test.
#ifndef QEV_TESTS_SUPPORT_QT_WINDOW_FIXTURE_H
#define QEV_TESTS_SUPPORT_QT_WINDOW_FIXTURE_H

#include "app/window/main_form.h"
#include "controls/picture_button.h"
#include "harness/recording_feedback.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QDialog>

#include <deque>
#include <memory>

namespace qev::test {

// The child of `parent` whose objectName is `name`; a test failure when there is none.
template <typename T>
T* Named_Child(const QObject& parent, const char* name) {
    auto* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

class Window_Test : public ::testing::Test {
protected:
    TTemp_Dir profile;
    TEnv_Guard user{"USERPROFILE", profile.Path()};
    TEnv_Guard backend{"IO_BACKEND", "sim"};
    TEnv_Guard remote{"IO_SIM_REMOTE", "off"};
    TMonotonic_Counter counter;
    TLinux_Priority priority;
    TRecording_Feedback feedback;
    std::unique_ptr<TQEV_Main_Form> form;
    // What the window showed, and the answers it gets.
    std::vector<TShown_Message>& messages = feedback.Messages;
    std::deque<TMessage_Answer>& answers = feedback.Answers;
    std::deque<std::string>& chosen_files = feedback.Files;  // "" = Cancel; empty = Cancel
    std::vector<TFile_Request>& file_requests = feedback.File_Requests;

    // Builds the window without starting it.
    TQEV_Main_Form& Create();
    // Builds and starts it; fails the test when start-up refuses.
    TQEV_Main_Form& Start();

    std::string Settings_File() const { return profile.File("QEV_LPT.INI"); }
    TPictureButton* Key(const char* component) const;
    QComboBox* Combo() const;
    std::vector<std::string> Texts() const;

    // The simulated port's log of data-register writes.
    long long Tx_Count() const;
    void Tx_Clear() const;
    std::vector<uint8_t> Tx_Values() const;

    // How a dialog ran modally over the shown main window, closed by a click
    // on its button `closing_button`.
    struct TModal_Run {
        int Result = -1;  // what exec() returned
        QString Name;     // objectName of the active modal widget
        bool Modal = false;
        int Off_Centre = -1;  // Manhattan distance of its centre from the window's
    };
    TModal_Run Run_Modal(QDialog& dialog, const char* closing_button);

    // Writes a Command file into the profile folder and returns its path.
    std::string Command_File(const std::string& name, const std::string& text) const;
};

}  // namespace qev::test

#endif
