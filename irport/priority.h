// Raising and restoring scheduling priority around a timed run.
//
// A run keeps what it found (Save), raises the process and then the thread,
// and afterwards restores the thread first and then the process. On Linux the
// "process priority" is the nice value (raised to -10) and the thread is
// pinned to the CPU it runs on and switched to SCHED_FIFO. Without
// CAP_SYS_NICE these calls fail with EPERM; failures are ignored and the run
// proceeds at whatever priority it has.
#ifndef QEV_IRPORT_PRIORITY_H
#define QEV_IRPORT_PRIORITY_H

#include <sched.h>

namespace qev {

struct TSaved_Priority {
    int Nice = 0;
    int Policy = SCHED_OTHER;
    int Priority = 0;
    cpu_set_t Affinity{};
    bool Have_Nice = false;
    bool Have_Policy = false;
    bool Have_Affinity = false;
};

class TPriority_Api {
public:
    virtual ~TPriority_Api() = default;
    virtual TSaved_Priority Save() = 0;
    virtual void Set_Process_High() = 0;
    virtual void Set_Thread_Time_Critical() = 0;
    virtual void Restore_Thread(const TSaved_Priority& saved) = 0;
    virtual void Restore_Process(const TSaved_Priority& saved) = 0;
};

class TLinux_Priority final : public TPriority_Api {
public:
    static constexpr int High_Nice = -10;     // the "high priority class" of the process
    static constexpr int Fifo_Priority = 80;  // "time critical": below the kernel's own 99
    TSaved_Priority Save() override;
    void Set_Process_High() override;
    void Set_Thread_Time_Critical() override;
    void Restore_Thread(const TSaved_Priority& saved) override;
    void Restore_Process(const TSaved_Priority& saved) override;
};

}  // namespace qev

#endif
