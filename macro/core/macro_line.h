// The macro language: one line at a time.
//
// A macro line is a learned command's name, or one of four directives:
//
//   @LOAD file   replace the Command table by a Command file (a bare name is
//                taken from the folder in RMT_DIR)
//   @WAIT n      pause n milliseconds (a plain sleep)
//   @COUNT n     open a loop of n passes (at least one)
//   @LOOP        close it: jump back to the line after @COUNT until done
//
// Blanks and control characters around the line are dropped, ';' starts a
// comment, and the words are separated by blanks (code 32); only the first
// two words count. Keywords are case-sensitive: @wait is a command name.
// Numbers are read by their leading digits ("12ms" is 12, "x" is 0).
//
// The macro dialog runs lines with interactive 1; the Command server with
// interactive 0, which shows no message box and leaves the loop alone
// (@COUNT and @LOOP then fail).
//
// A line that comes from the network is bounded further, because anyone
// who reaches the port sends it: @WAIT waits at most Network_Max_Wait_Ms
// (a longer wait fails at once: the window and every listener stand still
// while it waits), and @LOAD loads only a Command file of the Command file
// folder (a bare name ending in ".rmt", taken from RMT_DIR); any other
// argument fails before the file system is asked, so the answer says
// nothing about other paths. Nor does a network @LOAD throw away commands
// learned or imported since the table was last loaded or saved: while the
// table holds such rows it fails and changes nothing.
#ifndef QEV_MACRO_CORE_MACRO_LINE_H
#define QEV_MACRO_CORE_MACRO_LINE_H

#include "app/core/qev_state.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qev {

// The first two words of a line, after trimming and without its comment;
// both empty for a line that does nothing.
struct TMacro_Words {
    std::string Keyword;
    std::string Argument;
};
TMacro_Words Split_Macro_Line(std::string_view line);

// The one loop of a macro run.
struct TMacro_Loop_State {
    int32_t Loop_Counter = -1;  // passes still to run; -1: no @COUNT in this run
    int32_t Loop_Line = 0;      // index of the line that held the last @COUNT
    int32_t Loop_Position = 0;  // position in the text where the line after it starts
    bool Abort_Requested = false;
};

// The caret of the macro text, as the loop directives move it.
class TMacro_Caret {
public:
    virtual ~TMacro_Caret() = default;
    // Selection start plus selection length: during a run, the start of the
    // line after the one being executed.
    virtual int32_t Selection_End() const = 0;
    // An empty selection at `position`.
    virtual void Set_Caret(int32_t position) = 0;
};

// Where a line comes from.
enum class TMacro_Origin {
    Local,    // the macro dialog: the person at the screen
    Network,  // a client of the Command server
};

// The longest @WAIT a line from the network may ask for.
inline constexpr int32_t Network_Max_Wait_Ms = 10'000;

// What a line works on. Loop and Caret are used only when interactive is 1.
struct TMacro_Context {
    TQEV_State& State;
    TMacro_Loop_State* Loop = nullptr;
    TMacro_Caret* Caret = nullptr;
    TMacro_Origin Origin = TMacro_Origin::Local;
};

// The folder @LOAD takes a bare name from: RMT_DIR, then '/' unless it ends
// in one. A name with a '/' is used as it stands.
std::string Macro_Load_Path(const std::string& rmt_dir, const std::string& name);

// Whether @LOAD from the network may name `name`: a bare name (no '/')
// ending in ".rmt", with something before the extension.
bool Network_May_Load(std::string_view name);

// Runs one line. 0: success; non-zero: failure (-1, or the 1 or -1 of the
// Command file reader). `current_line` is the executor's line index; @LOOP
// sets it to the @COUNT line. With interactive 0 neither it, the loop nor
// the caret is touched.
int Execute_Macro_Line(TMacro_Context& context, std::string_view line, int32_t& current_line, int interactive);

// A line a client of the Command server sent: silently (interactive 0),
// with the network's bounds. 0: success.
int Execute_Network_Line(TQEV_State& state, std::string_view line);

}  // namespace qev

#endif
