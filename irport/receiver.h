// The IR receiver: learns one command from status bit 0x10.
#ifndef QEV_IRPORT_RECEIVER_H
#define QEV_IRPORT_RECEIVER_H

#include "irport/port_library.h"
#include "irport/sample_clock.h"

#include <cstdint>
#include <string>

namespace qev {

enum class TReceive_Result {
    Received,     // the buffer holds a leader and the samples after it
    No_Signal,    // nothing arrived within the time limit; the buffer is unchanged
    No_Port,      // the port library offers no PortIn; nothing was read
    Stopped,      // the program was asked to end while waiting; the buffer is unchanged
    Port_Failed,  // a signal port reported an error (TReceive_Report::Error); the buffer is unchanged
};

struct TReceive_Report {
    TReceive_Result Result = TReceive_Result::No_Port;
    int64_t Start_Counter = 0;  // counter value when the accepted start was seen
    int32_t False_Starts = 0;   // starts dropped before the leader was confirmed
    int32_t Samples = 0;        // samples stored (the requested length, cut to the buffer)
    int64_t Late_Samples = 0;   // samples (the leader's included) taken more than half a tick late
    int64_t Max_Lateness = 0;   // the latest sample's lateness, in counter units
    std::string Error;          // Port_Failed: why, as the port said
};

struct TReceive_Request {
    unsigned Base = 0x378;
    int32_t Samples = 1024;          // MAX_RMTCMD_BIT_LENGTH; cut to the buffer's capacity
    int32_t Min_Leader = 8;          // MIN_LEADER_LENGTH
    double Time_Limit_Seconds = 10;  // longest wait for a start
};

// Waits (polling the status register back to back) for the line to become
// active, giving up at the time limit or when the program is asked to end
// (base/stop_request.h), confirms Min_Leader active readings one tick apart starting half a
// tick after the start (a drop before that is a false start: wait again),
// marks positions 0 .. Min_Leader with 16, samples the line once per tick up
// to the requested length, restores priority and rewrites every stored value
// as 255 (bit 0x10 set) or 0. Never writes beyond `capacity` samples.
TReceive_Report Receive_Samples(TSample_Clock& clock, const TPort_Library& port, const TReceive_Request& request,
                                int32_t* buffer, int32_t capacity);

}  // namespace qev

#endif
