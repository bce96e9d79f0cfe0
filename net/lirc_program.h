// TLirc_State_Program: the running program as the LIRC protocol sees it.
//
// The remote is named after the Command file loaded last (TTable_Origin::
// Command_File_Path; "QEV_LPT" before one is), its keys are the commands of
// the table, and a send goes the way a key click goes (TQEV_State::
// Send_Command), so the port, the priority and the simulated port's log see
// nothing different. No Qt.
#ifndef QEV_NET_LIRC_PROGRAM_H
#define QEV_NET_LIRC_PROGRAM_H

#include "app/core/qev_state.h"
#include "net/lirc_protocol.h"

#include <string>
#include <vector>

namespace qev {

class TLirc_State_Program : public TLirc_Program {
public:
    TLirc_State_Program(TQEV_State& state, std::string version) : state_(state), version_(std::move(version)) {}

    std::string Remote_Name() const override;
    std::vector<std::string> Command_Names() const override;
    std::string Version() const override { return version_; }
    int32_t Repeat() const override { return state_.Settings.REPEAT; }
    // false when no row holds the name or the port library has no PortOut.
    bool Send(const std::string& name, int32_t times, bool held) override;

private:
    TQEV_State& state_;
    std::string version_;
};

}  // namespace qev

#endif
