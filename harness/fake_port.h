// An in-process port for the port function table: records every write with
// the fake counter's time and plays a scripted receiver line, one level per
// tick from a start time.
#ifndef QEV_HARNESS_FAKE_PORT_H
#define QEV_HARNESS_FAKE_PORT_H

#include "harness/fake_counter.h"
#include "irport/port_library.h"

#include <cstdint>
#include <map>
#include <vector>

namespace qev::test {

struct TPort_Write {
    int64_t Time;
    unsigned Port;
    uint8_t Value;
};

class TFake_Port {
public:
    explicit TFake_Port(TFake_Counter& counter);
    ~TFake_Port();
    TFake_Port(const TFake_Port&) = delete;
    TFake_Port& operator=(const TFake_Port&) = delete;

    // The table that routes PortOut and PortIn to this port (one at a time).
    static TPort_Function_Table Table(bool with_out = true, bool with_in = true);

    // Receiver line: levels[i] holds during [origin + i*period, origin + (i+1)*period);
    // idle before and after.
    void Script_Line(int64_t origin, int64_t period, std::vector<uint8_t> levels);

    // The thread is held up once: the first status read at or after `time`
    // moves the counter on by `units` before it returns.
    void Hold_Up_At(int64_t time, int64_t units) {
        hold_up_time_ = time;
        hold_up_units_ = units;
    }

    std::vector<TPort_Write> Writes;
    std::map<unsigned, uint8_t> Registers;  // data and control, by port
    int64_t Status_Reads = 0;

private:
    friend struct TFake_Port_Access;
    void Out(unsigned port, uint8_t value);
    uint8_t In(unsigned port);

    TFake_Counter& counter_;
    int64_t origin_ = 0;
    int64_t period_ = 1;
    std::vector<uint8_t> levels_;
    int64_t hold_up_time_ = -1;
    int64_t hold_up_units_ = 0;
};

}  // namespace qev::test

#endif
