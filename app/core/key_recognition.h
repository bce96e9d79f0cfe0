// Naming what the receiver heard: the learned command it is, or else the
// protocol code it carries.
//
// A heard signal that decodes to a protocol is the first learned row that
// decodes to the same protocol, address and command (a remote's toggle bit
// and the number of repeat frames do not count, and NEC and Pioneer, one
// frame at two clocks, are the same). Otherwise it is the first
// row whose waveform it matches as Same_Signal (ir/signal_match.h) compares
// them, which allows for a remote whose clock is a few per cent off. A
// signal that is neither but decodes is named by its code:
// "NEC_0x04_0x08". Anything else is not a key.
#ifndef QEV_APP_CORE_KEY_RECOGNITION_H
#define QEV_APP_CORE_KEY_RECOGNITION_H

#include "ir/ir_signal.h"
#include "ir/sampling.h"
#include "store/command_table.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qev {

struct THeard_Key {
    std::string Name;              // the row's name, or the code's ("NEC_0x04_0x08")
    int32_t Row = -1;              // the learned row; -1 when named by its code
    std::optional<TIR_Code> Code;  // what it decodes to, if anything
    bool operator==(const THeard_Key&) const = default;
};

// The number LIRC's clients get as a heard key's code: the decoded address
// in the bits above 16 and the command below; 0 for a signal of no known
// protocol (the program keeps waveforms, not codes, as LIST says).
uint64_t Lirc_Key_Code(const THeard_Key& key);

// The word a code is named by when no learned row is it: protocol, address
// and command joined by '_', numbers in hexadecimal ("RC5_0x05_0x35").
std::string Code_Key_Name(const TIR_Code& code);

class TKey_Recognizer {
public:
    // Takes the rows in use of the table as they are now; call again after
    // the table changed.
    void Learn(const TCommand_Table& table);
    // What the levels (one signal, idle before and after allowed) are;
    // `end_gap_samples` is the silence the receiver ended the signal on.
    std::optional<THeard_Key> Recognize(std::span<const uint8_t> levels, int32_t end_gap_samples) const;
    int32_t Rows() const { return static_cast<int32_t>(rows_.size()); }

    // Whether the levels are a short repeat frame alone (NEC's leader mark,
    // a 2.25 ms space and a stop mark): what a held key sends after its
    // first frame, which names no key by itself.
    static bool Is_Repeat_Frame(std::span<const uint8_t> levels);

private:
    struct TLearned {
        std::string Name;
        std::optional<TIR_Code> Code;
        TLevels Levels;
    };
    std::vector<TLearned> rows_;
};

// A heard key: a new press, or one more repetition of a key held down.
struct THeard_Press {
    THeard_Key Key;
    int32_t Repeat = 0;  // 0 for a press, then 1, 2, ... while it is held
};

// The keys heard one signal after another: each signal named against the
// Command table as it is when the signal arrives (learned again whenever
// its rows changed), and counted as a new press or as a repeat of the one
// before: the same key again, or a repeat frame alone, starting within
// Repeat_Window of the end of the signal before.
class TKey_Listening {
public:
    using TClock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds Repeat_Window{250};
    // `levels` is a signal whose receive ended at `end`, `end_gap_samples`
    // of silence after the signal's last mark. Nothing when it names no key
    // (nor repeats one).
    std::optional<THeard_Press> Heard(const TCommand_Table& table, std::span<const uint8_t> levels,
                                      int32_t end_gap_samples, TClock::time_point end);

private:
    TKey_Recognizer keys_;
    uint64_t table_hash_ = 0;
    bool learned_ = false;
    std::optional<THeard_Press> last_;
    TClock::time_point last_end_{};
};

}  // namespace qev

#endif
