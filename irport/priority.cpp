#include "irport/priority.h"

#include <pthread.h>
#include <sys/resource.h>
#include <cerrno>

namespace qev {

TSaved_Priority TLinux_Priority::Save() {
    TSaved_Priority saved;
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, 0);
    if (!(nice == -1 && errno != 0)) {
        saved.Nice = nice;
        saved.Have_Nice = true;
    }
    sched_param param{};
    if (pthread_getschedparam(pthread_self(), &saved.Policy, &param) == 0) {
        saved.Priority = param.sched_priority;
        saved.Have_Policy = true;
    }
    CPU_ZERO(&saved.Affinity);
    saved.Have_Affinity = pthread_getaffinity_np(pthread_self(), sizeof saved.Affinity, &saved.Affinity) == 0;
    return saved;
}

void TLinux_Priority::Set_Process_High() { setpriority(PRIO_PROCESS, 0, High_Nice); }

void TLinux_Priority::Set_Thread_Time_Critical() {
    // Pinning keeps the spinning thread on one CPU, so its cache and its
    // timer interrupts stay put for the whole run.
    int cpu = sched_getcpu();
    if (cpu >= 0) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        pthread_setaffinity_np(pthread_self(), sizeof one, &one);
    }
    sched_param param{};
    param.sched_priority = Fifo_Priority;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

void TLinux_Priority::Restore_Thread(const TSaved_Priority& saved) {
    if (saved.Have_Policy) {
        sched_param param{};
        param.sched_priority = saved.Priority;
        pthread_setschedparam(pthread_self(), saved.Policy, &param);
    }
    if (saved.Have_Affinity) pthread_setaffinity_np(pthread_self(), sizeof saved.Affinity, &saved.Affinity);
}

void TLinux_Priority::Restore_Process(const TSaved_Priority& saved) {
    if (saved.Have_Nice) setpriority(PRIO_PROCESS, 0, saved.Nice);
}

}  // namespace qev
