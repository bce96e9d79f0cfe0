// What a heard key does: a hand-written file beside the Settings file maps
// key names to a macro line or a Macro file, run as a Command server client's
// lines are run (no loops; @WAIT at most 10 s; @LOAD only a Command file of
// RMT_DIR's folder), so that a remote in one hand drives a chain of devices.
//
// The file (<profile>/<program>.KEYS, beside <program>.INI):
//
//   # a comment; blank lines do nothing
//   POWER = TV_ON                one macro line: a command's name, @WAIT n, @LOAD f
//   NEC_0x04_0x08 = @LOAD tv.rmt  a key no learned command is, by its code
//   VOL+  = < evening.mcr        the lines of a Macro file, one after another
//
// The key is the name the status bar shows for it (case counts); blanks
// around it and around what follows '=' do not count. A file named after '<'
// is taken from the KEYS file's folder unless it holds a '/'. The first
// line for a key counts. A key held down runs its macro once, on its press.
#ifndef QEV_MACRO_CORE_KEY_MACROS_H
#define QEV_MACRO_CORE_KEY_MACROS_H

#include "app/core/qev_state.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qev {

// <profile>/<program>.KEYS for a Settings file <profile>/<program>.INI (any
// extension is replaced; none gets one).
std::string Key_Macros_Path(const std::string& settings_path);

struct TKey_Macro {
    std::string Line;  // one macro line, or empty for a Macro file
    std::string File;  // the Macro file's path, or empty
};

// A fault of the file: its line and what is wrong.
struct TKey_Macro_Fault {
    int32_t Line = 0;
    std::string Message;
};

struct TKey_Macro_Map {
    std::map<std::string, TKey_Macro, std::less<>> Keys;
    std::vector<TKey_Macro_Fault> Faults;
};

// The map a KEYS file's text holds; `folder` is the file's folder.
TKey_Macro_Map Parse_Key_Macros(std::string_view text, const std::string& folder);

// The KEYS file, read again whenever it has changed (its size or time of
// last change differ) when a key asks for its macro.
class TKey_Macros {
public:
    explicit TKey_Macros(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }
    // The macro of `key`, reading the file again first if it changed;
    // nothing for a key without one, or without a file.
    std::optional<TKey_Macro> Macro_For(std::string_view key);
    // The faults of the file as last read.
    const std::vector<TKey_Macro_Fault>& Faults() const { return map_.Faults; }

private:
    void Refresh();
    std::string path_;
    TKey_Macro_Map map_;
    bool read_ = false;
    int64_t size_ = -1;
    int64_t changed_ns_ = -1;
};

// What running a key's macro came to, for the status bar: "POWER ran TV_ON",
// "VOL+ ran evening.mcr (line 3 failed)", "VOL+: evening.mcr: No such file
// or directory".
struct TKey_Macro_Run {
    bool Ran = false;
    std::string Summary;
};
// Runs the macro's lines one after another as network lines: a failed line
// does not stop the rest.
TKey_Macro_Run Run_Key_Macro(TQEV_State& state, std::string_view key, const TKey_Macro& macro);

}  // namespace qev

#endif
