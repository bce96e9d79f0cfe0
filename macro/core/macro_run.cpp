#include "macro/core/macro_run.h"

#include "base/stop_request.h"

#include <cstdio>

namespace qev {

std::string Unrecognized_Line_Message(int32_t line) {
    char text[48];
    std::snprintf(text, sizeof text, "Line %03d: Unrecognized Command", static_cast<int>(line));
    return text;
}

void TMacro_Executor::Set_Caret(int32_t position) {
    selection_start_ = position;
    selection_length_ = 0;
    display_.Show_Selection(selection_start_, 0);
}

void TMacro_Executor::Run() {
    if (running_) return;  // one run at a time
    running_ = true;
    TBusy_Section busy(state_);
    loop_.Loop_Line = 0;
    loop_.Loop_Counter = -1;
    display_.Begin_Run();
    loop_.Abort_Requested = false;
    Set_Caret(0);
    TMacro_Context context{state_, &loop_, this};
    for (int32_t i = 0; i < display_.Line_Count(); ++i) {
        state_.Feedback.Process_Pending_Events();
        if (loop_.Abort_Requested || state_.Stop_Requested || Program_Stop_Requested()) break;
        // The current line and its line break, from wherever the last step left the caret.
        selection_length_ = display_.Line_Start(i + 1) - display_.Line_Start(i);
        display_.Show_Selection(selection_start_, selection_length_);
        const int32_t line = i;
        if (Execute_Macro_Line(context, display_.Line(i), i, 1) != 0)
            state_.Feedback.Show_Error(Unrecognized_Line_Message(line), "Command Error");
        selection_start_ += selection_length_;
        selection_length_ = 0;
    }
    display_.End_Run();
    running_ = false;
}

}  // namespace qev
