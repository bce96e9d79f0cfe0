// A TPriority_Api that only records the order of the calls made to it.
#ifndef QEV_HARNESS_PRIORITY_RECORDER_H
#define QEV_HARNESS_PRIORITY_RECORDER_H

#include "irport/priority.h"

#include <string>
#include <vector>

namespace qev::test {

class TPriority_Recorder final : public TPriority_Api {
public:
    TSaved_Priority Save() override {
        Calls.push_back("save");
        TSaved_Priority saved;
        saved.Nice = Saved_Nice;
        return saved;
    }
    void Set_Process_High() override { Calls.push_back("process high"); }
    void Set_Thread_Time_Critical() override { Calls.push_back("thread critical"); }
    void Restore_Thread(const TSaved_Priority&) override { Calls.push_back("restore thread"); }
    void Restore_Process(const TSaved_Priority& saved) override {
        Calls.push_back("restore process");
        Restored_Nice = saved.Nice;
    }

    std::vector<std::string> Calls;
    int Saved_Nice = 7;
    int Restored_Nice = 0;
};

}  // namespace qev::test

#endif
