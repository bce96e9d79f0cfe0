// A main window on a scratch profile folder and the simulated port, with
// message boxes and file dialogs answered by the test.
#ifndef QEV_TEST_WINDOW_FIXTURE_H
#define QEV_TEST_WINDOW_FIXTURE_H

#include "main_form.h"
#include "picture_button.h"
#include "recording_feedback.h"
#include "temp_env.h"

#include <gtest/gtest.h>
#include <QComboBox>

#include <deque>
#include <memory>

namespace qev::test {

class Window_Test : public ::testing::Test {
protected:
    TTemp_Dir profile;
    TEnv_Guard user{"USERPROFILE", profile.Path()};
    TEnv_Guard backend{"IO_BACKEND", "sim"};
    TEnv_Guard remote{"IO_SIM_REMOTE", "off"};
    TMonotonic_Counter counter;
    TLinux_Priority priority;
    std::unique_ptr<TQEV_Main_Form> form;
    std::vector<TShown_Message> messages;
    std::deque<TMessage_Answer> answers;
    std::deque<QString> chosen_files;  // answers of the file dialogs; empty = Cancel
    std::vector<TFile_Dialog_Request> file_requests;

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

    // Writes a Command file into the profile folder and returns its path.
    std::string Command_File(const std::string& name, const std::string& text) const;
};

}  // namespace qev::test

#endif
