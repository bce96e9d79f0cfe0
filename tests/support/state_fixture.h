// A shared state on a scratch profile folder and a fake port, with a
// scripted counter (8 MHz: 1,000 units a tick), a priority recorder and a
// recording feedback and view: what the core's tests start from.
#ifndef QEV_TESTS_SUPPORT_STATE_FIXTURE_H
#define QEV_TESTS_SUPPORT_STATE_FIXTURE_H

#include "app/core/qev_state.h"
#include "harness/fake_port.h"
#include "harness/priority_recorder.h"
#include "harness/recording_feedback.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <string>

namespace qev::test {

class State_Fixture : public ::testing::Test {
protected:
    TTemp_Dir profile;
    TEnv_Guard user{"USERPROFILE", profile.Path()};
    TFake_Counter counter{8'000'000, 1'000, 1};
    TPriority_Recorder priority;
    TRecording_Feedback feedback;
    TFake_Port fake{counter};
    TQEV_State state{counter, priority, feedback, feedback};

    void SetUp() override { Prepare(state); }
    // A state that keeps the fake port (no port library is found) and names
    // its Settings file QEV_LPT.INI.
    static void Prepare(TQEV_State& s) {
        s.Executable_Path = "/usr/bin/QEV_LPT";
        s.Port_Library_Name = "libqev-no-such-port-library.so";
        s.Port.Set_Function_Table(TFake_Port::Table());
    }
    std::string Settings_File() const { return profile.File("QEV_LPT.INI"); }
};

}  // namespace qev::test

#endif
