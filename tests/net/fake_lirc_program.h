// A stand-in for the program behind the LIRC protocol: the remote "tv" with
// the commands POWER, power and VOL-UP, recording each send it is asked for;
// a send can be made to fail or to take time, as a transmission does, and
// can run something of the test's while it is under way.
#ifndef QEV_TESTS_NET_FAKE_LIRC_PROGRAM_H
#define QEV_TESTS_NET_FAKE_LIRC_PROGRAM_H

#include "net/lirc_protocol.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qev::test {

class TFake_Lirc_Program : public TLirc_Program {
public:
    std::string Remote = "tv";
    std::vector<std::string> Names = {"POWER", "power", "VOL-UP"};
    int32_t Repeat_Setting = 1;
    bool Can_Send = true;
    std::chrono::milliseconds Send_Time{0};
    std::function<void()> During_Send;
    std::vector<std::pair<std::string, int32_t>> Sent;
    std::vector<bool> Held;  // per send: a repetition of a held key

    std::string Remote_Name() const override { return Remote; }
    std::vector<std::string> Command_Names() const override { return Names; }
    std::string Version() const override { return "1.2.3"; }
    int32_t Repeat() const override { return Repeat_Setting; }
    bool Send(const std::string& name, int32_t times, bool held) override {
        if (!Can_Send) return false;
        if (During_Send) During_Send();
        if (Send_Time.count() > 0) std::this_thread::sleep_for(Send_Time);
        Sent.emplace_back(name, times);
        Held.push_back(held);
        return true;
    }
};

}  // namespace qev::test

#endif
