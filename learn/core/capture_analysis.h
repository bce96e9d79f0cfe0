// What the capture dialog computes from a received waveform: the proposed
// length of one command, the sample listing and the packed-byte dump, and
// the registration of a new command. No widgets: the dialog only shows the
// results.
#ifndef QEV_LEARN_CORE_CAPTURE_ANALYSIS_H
#define QEV_LEARN_CORE_CAPTURE_ANALYSIS_H

#include "app/core/qev_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qev {

// The length of one command: a remote repeats its command while the key is
// held, each repetition starting with a leader. The leader as received runs
// from sample 0 to the first idle sample (L). The first burst after it that
// is longer than L - tolerance samples is the next leader; the command ends
// just before it. Nothing is proposed when no such burst exists or when
// L - tolerance <= 0.
std::optional<int32_t> Propose_Data_Length(const int32_t* samples, int32_t count, int32_t tolerance);

// The value of a length field: leading blanks, an optional sign and the
// digits after it; the rest is ignored; no digits read as 0.
int32_t Leading_Digits_Value(std::string_view text);

// "===== IR Receive Start Here =====", one "%03d: %02X" line per sample
// (index, value), "******** IR Receive End *********"; lines end with '\n'
// except the last.
std::string Sample_Listing(const int32_t* samples, int32_t count);

// What the samples decode to: "NEC  address 0x04  command 0x08  (+1 repeat)",
// or "Unknown protocol"; "" when there are no samples.
std::string Decoded_Text(const int32_t* samples, int32_t count);

// ">>>>>>> File Data Start <<<<<<<", one "%03d: %02X" line per packed byte of
// the row, ">>>>>>> File Data END <<<<<<<".
std::string Byte_Dump(const TCommand_Record& row);

enum class TRegistration_Result {
    Registered,
    Duplicate_Name,  // a row in use already has this exact name
    Empty_Name,
    Name_Too_Long,  // more than 79 bytes
    Bad_Length,     // below 1 or beyond the Sample buffer
    Table_Full,     // every row the table may use is taken
};

struct TRegistration {
    TRegistration_Result Result;
    int32_t Row = -1;  // the new row when registered
};

// The largest length a capture may send or register: what the Sample buffer
// (and so every row) holds.
int32_t Max_Data_Length(const TQEV_State& state);

// How many samples a capture records and the dialog offers: MAX_RMTCMD_BIT_LENGTH,
// but never more than the buffer allocated at start-up (a value raised in the
// setup dialog counts in full from the next start).
int32_t Capture_Length(const TQEV_State& state);

// true when `length` is a length a capture may send or register (1 ..
// Max_Data_Length); otherwise shows why and returns false.
bool Check_Data_Length(TQEV_State& state, int32_t length);

// Stores the first `length` samples of the buffer as a new command named
// `name` (taken as it is), after setting the Sample count to `length`.
// Refusals are shown in a message box; on success the main window's list
// and keys are refreshed.
TRegistration Register_Command(TQEV_State& state, const std::string& name, int32_t length);

}  // namespace qev

#endif
