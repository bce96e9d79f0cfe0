// Writing the Command table's signals as one RAW_CODES lircd.conf remote.
#include "base/text_scan.h"
#include "ir/decoder.h"
#include "ir/lircd_conf.h"
#include "ir/protocol_timing.h"
#include "ir/sampling.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace qev {
namespace {

// LIRC names are single words; a '#' would start a comment.
std::string Word_Of(std::string_view name, std::string_view if_empty) {
    std::string word(name.empty() ? if_empty : name);
    for (char& c : word) {
        if (Is_Blank(c) || c == '#' || static_cast<unsigned char>(c) < ' ') c = '_';
    }
    return word;
}

// The shortest idle end a remote of the protocol leaves: its frame period
// less its longest frame (every bit the longer kind, a bi-phase frame's last
// half a mark).
int64_t Shortest_Idle_us(TProtocol protocol) {
    const TProtocol_Timing& t = Protocol_Timing(protocol);
    double frame = t.Header_Mark_us + t.Header_Space_us + t.Stop_Mark_us;
    if (t.Coding == TBit_Coding::Pulse) {
        frame += t.Bits * std::max(t.Zero.Mark_us + t.Zero.Space_us, t.One.Mark_us + t.One.Space_us);
    } else {
        frame += (2 * t.Bits + (t.Long_Bit >= 0 ? 2 : 0)) * t.Unit_us;
    }
    return std::max<int64_t>(t.Frame_Period_us - static_cast<int64_t>(frame), 0);
}

// The idle end of a record as its remote sends it; -1 when it ends on a mark.
// A command of a known protocol is padded to the protocol's frame period,
// which stretches the remote's own gap (25 ms, say) to what the period
// leaves of the frame (43 ms); where a record ends at that period, its remote
// may have left as little idle time as the protocol allows.
int64_t Idle_End_us(const TIR_Record& record) {
    const std::vector<int32_t>& d = record.Timing.Durations_us;
    if (d.size() % 2 != 0) return -1;
    const int64_t idle = std::clamp<int64_t>(d.back(), 0, Lircd_Max_Duration_us);
    int64_t total_us = 0;
    for (const int32_t us : d) total_us += std::max(us, 0);
    const TLevels levels =
        Sample_Timing(record.Timing, static_cast<int32_t>(std::min<int64_t>(Sample_Of_us(total_us) + 1, INT32_MAX)));
    const auto decoded = Decode_Levels(levels);
    if (!decoded) return idle;
    const int64_t period = Sample_Of_us(Protocol_Timing(decoded->Code.Protocol).Frame_Period_us);
    const int64_t end = static_cast<int64_t>(levels.size()) - decoded->Last_Frame_Start;
    const bool stretched = end >= period - 1 && end <= period + 1;
    return stretched ? std::min(idle, Shortest_Idle_us(decoded->Code.Protocol)) : idle;
}

// The gap LIRC needs to recognise every record: LIRC takes a raw code as
// ended by a space of at least the gap less its tolerance, or by the end of
// the recording; a longer space is fine, a shorter one leaves the code
// unknown. So it is the shortest idle end, but at least a frame's end; 0
// when no record ends with a space.
int64_t Remote_Gap_us(const std::vector<const TIR_Record*>& records) {
    int64_t gap = -1;
    for (const TIR_Record* record : records) {
        const int64_t idle = Idle_End_us(*record);
        if (idle >= 0) gap = gap < 0 ? idle : std::min(gap, idle);
    }
    return gap < 0 ? 0 : std::max(gap, Min_Frame_End_us);
}

}  // namespace

std::string Write_Lircd_Conf(const std::vector<TIR_Record>& records, std::string_view remote_name) {
    std::vector<const TIR_Record*> written;
    for (const TIR_Record& record : records) {
        if (!record.Timing.Durations_us.empty()) written.push_back(&record);
    }
    const int64_t gap = Remote_Gap_us(written);
    const int32_t frequency = !written.empty() && written.front()->Timing.Carrier_Hz > 0
                                  ? written.front()->Timing.Carrier_Hz
                                  : Default_Carrier_Hz;
    std::string out = "# Raw codes written by QEV_LPT: durations in microseconds, mark first\n";
    out += "begin remote\n\n  name  " + Word_Of(remote_name, "QEV_LPT") + "\n  flags RAW_CODES\n";
    // The durations are the rows' 8 kHz samples: each lies up to a sample
    // (125 us) from the remote's own, more than LIRC's usual aeps of 100 us
    // allows a short one, and the remote's signal would go unrecognised.
    out += "  eps            30\n  aeps          200\n\n";
    out += "  frequency    " + std::to_string(frequency) + "\n";
    if (gap > 0) out += "  gap          " + std::to_string(gap) + "\n";
    out += "\n      begin raw_codes\n";
    for (const TIR_Record* record : written) {
        out += "\n          name " + Word_Of(record->Name, "KEY") + "\n";
        std::vector<int32_t> d = record->Timing.Durations_us;
        if (d.size() % 2 == 0) d.pop_back();  // the remote's gap stands for it
        for (std::size_t i = 0; i < d.size(); ++i) {
            // Clamped to what a reader accepts, so the file always reads back.
            const long long us = std::clamp<long long>(d[i], 1, Lircd_Max_Duration_us);
            char number[16];
            std::snprintf(number, sizeof number, "%9lld", us);
            out += (i % 6 == 0 ? "        " : "") + std::string(number) + (i % 6 == 5 || i + 1 == d.size() ? "\n" : "");
        }
    }
    out += "\n      end raw_codes\n\nend remote\n";
    return out;
}

}  // namespace qev
