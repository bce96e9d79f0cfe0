#include "macro/core/macro_line.h"

#include "base/text_scan.h"

#include <algorithm>

namespace qev {

namespace {

constexpr int Failed = -1;

bool Is_Control_Or_Blank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The leading-digits rule: "500" is 500, "12ms" 12, "x" and "" are 0.
int32_t Number_Of(const std::string& argument) {
    std::size_t pos = 0;
    return Scan_Leading_Integer(argument, pos).value_or(0);
}

// Words of a macro line are separated by code 32 only: a tab is part of a word.
bool Is_Space(char c) { return c == ' '; }

}  // namespace

TMacro_Words Split_Macro_Line(std::string_view line) {
    // Trimmed before the comment is cut, so blanks before a ';' stay
    // inside and simply separate nothing.
    std::size_t begin = 0, end = line.size();
    while (begin < end && Is_Control_Or_Blank(line[begin])) ++begin;
    while (end > begin && Is_Control_Or_Blank(line[end - 1])) --end;
    line = line.substr(begin, end - begin);
    line = line.substr(0, line.find(';'));
    std::size_t pos = 0;
    TMacro_Words words;
    words.Keyword = Next_Word(line, pos, Is_Space);
    words.Argument = Next_Word(line, pos, Is_Space);
    return words;
}

std::string Macro_Load_Path(const std::string& rmt_dir, const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    std::string path = rmt_dir;
    if (path.empty() || path.back() != '/') path += '/';
    return path + name;
}

bool Network_May_Load(std::string_view name) {
    constexpr std::string_view Extension = ".rmt";
    return name.size() > Extension.size() && name.ends_with(Extension) && name.find('/') == std::string_view::npos;
}

int Execute_Macro_Line(TMacro_Context& context, std::string_view line, int32_t& current_line, int interactive) {
    const TMacro_Words words = Split_Macro_Line(line);
    TQEV_State& state = context.State;
    const bool from_network = context.Origin == TMacro_Origin::Network;
    if (words.Keyword.empty()) return 0;
    if (words.Keyword == "@LOAD") {
        if (from_network && (!Network_May_Load(words.Argument) || state.Origin.Unsaved_Rows())) return Failed;
        return state.Load_Command_File(Macro_Load_Path(state.Settings.RMT_DIR, words.Argument), interactive);
    }
    if (words.Keyword == "@WAIT") {
        // A negative wait does not wait; the longest is 2^31 - 1 ms, from the
        // network Network_Max_Wait_Ms. A request to end the program ends it.
        const int32_t milliseconds = Number_Of(words.Argument);
        if (from_network && milliseconds > Network_Max_Wait_Ms) return Failed;
        if (milliseconds > 0) state.Feedback.Sleep_Ms(milliseconds);
        return 0;
    }
    const bool loops = interactive == 1 && context.Loop && context.Caret;
    if (words.Keyword == "@COUNT") {
        if (!loops) return Failed;
        TMacro_Loop_State& loop = *context.Loop;
        loop.Loop_Counter = std::max(Number_Of(words.Argument), 1);
        loop.Loop_Line = current_line;
        loop.Loop_Position = context.Caret->Selection_End();
        return 0;
    }
    if (words.Keyword == "@LOOP") {
        if (!loops || context.Loop->Loop_Counter == -1) return Failed;
        TMacro_Loop_State& loop = *context.Loop;
        if (--loop.Loop_Counter != 0) {
            current_line = loop.Loop_Line;
            context.Caret->Set_Caret(loop.Loop_Position);
        }
        return 0;
    }
    const int32_t row = state.Find_Command(words.Keyword);
    if (row < 0) return Failed;
    state.Send_Command(row);
    return 0;
}

int Execute_Network_Line(TQEV_State& state, std::string_view line) {
    TMacro_Context context{state, nullptr, nullptr, TMacro_Origin::Network};
    int32_t unused_line_index = 0;
    return Execute_Macro_Line(context, line, unused_line_index, 0);
}

}  // namespace qev
