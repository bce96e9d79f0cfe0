#include "harness/fake_port.h"

namespace qev::test {

namespace {
TFake_Port* current = nullptr;
}  // namespace

struct TFake_Port_Access {
    static void Out(unsigned short port, unsigned char value) {
        if (current) current->Out(port, value);
    }
    static unsigned char In(unsigned short port) { return current ? current->In(port) : 0; }
};

TFake_Port::TFake_Port(TFake_Counter& counter) : counter_(counter) { current = this; }

TFake_Port::~TFake_Port() {
    if (current == this) current = nullptr;
}

TPort_Function_Table TFake_Port::Table(bool with_out, bool with_in) {
    TPort_Function_Table table;
    if (with_out) table.PortOut = &TFake_Port_Access::Out;
    if (with_in) table.PortIn = &TFake_Port_Access::In;
    return table;
}

void TFake_Port::Script_Line(int64_t origin, int64_t period, std::vector<uint8_t> levels) {
    origin_ = origin;
    period_ = period > 0 ? period : 1;
    levels_ = std::move(levels);
}

void TFake_Port::Out(unsigned port, uint8_t value) {
    Registers[port] = value;
    if ((port & 3u) == Data_Register) Writes.push_back({counter_.Now, port, value});
}

uint8_t TFake_Port::In(unsigned port) {
    if ((port & 3u) != Status_Register) {
        auto found = Registers.find(port);
        return found == Registers.end() ? 0 : found->second;
    }
    ++Status_Reads;
    const int64_t t = counter_.Now;
    if (hold_up_time_ >= 0 && t >= hold_up_time_) {
        counter_.Now += hold_up_units_;
        hold_up_time_ = -1;
    }
    if (t < origin_) return 0;
    const auto cell = static_cast<std::size_t>((t - origin_) / period_);
    return cell < levels_.size() && levels_[cell] ? Receiver_Line_Bit : 0;
}

}  // namespace qev::test
