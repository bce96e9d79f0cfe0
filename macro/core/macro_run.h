// Running a whole macro: the macro dialog's executor, without the dialog.
//
// The lines run one after another, the current one highlighted. Before each
// line pending window events are let through (a click on Abort, repaints,
// the Command server's clients); a failing line is reported with its
// zero-based number and the run goes on; Abort, or a request to close the
// program, stops the run before the next line.
#ifndef QEV_MACRO_CORE_MACRO_RUN_H
#define QEV_MACRO_CORE_MACRO_RUN_H

#include "macro/core/macro_line.h"

#include <cstdint>
#include <string>

namespace qev {

// The macro text as the dialog shows it. Positions count characters as the
// text widget does, one for each line break.
class TMacro_Display {
public:
    virtual ~TMacro_Display() = default;
    virtual int32_t Line_Count() const = 0;
    // The line's bytes, without its line break.
    virtual std::string Line(int32_t index) const = 0;
    // Where line `index` starts; for index == Line_Count() the end of the text.
    virtual int32_t Line_Start(int32_t index) const = 0;
    // Shows [start, start + length) selected (the current line), or the
    // caret at start for length 0.
    virtual void Show_Selection(int32_t start, int32_t length) = 0;
    // The text becomes read-only, Execute disabled and Abort enabled; and back.
    virtual void Begin_Run() = 0;
    virtual void End_Run() = 0;
};

// "Line %03d: Unrecognized Command" for a zero-based line number.
std::string Unrecognized_Line_Message(int32_t line);

class TMacro_Executor : private TMacro_Caret {
public:
    TMacro_Executor(TQEV_State& state, TMacro_Display& display) : state_(state), display_(display) {}

    // Macro_Execute_ButtonClick: runs every line of the display's text.
    void Run();
    // Abort_ButtonClick: the run stops before its next line.
    void Abort() { loop_.Abort_Requested = true; }
    bool Running() const { return running_; }
    const TMacro_Loop_State& Loop() const { return loop_; }

private:
    int32_t Selection_End() const override { return selection_start_ + selection_length_; }
    void Set_Caret(int32_t position) override;

    TQEV_State& state_;
    TMacro_Display& display_;
    TMacro_Loop_State loop_;
    int32_t selection_start_ = 0;
    int32_t selection_length_ = 0;
    bool running_ = false;
};

}  // namespace qev

#endif
