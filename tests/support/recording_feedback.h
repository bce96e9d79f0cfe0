// A TUser_Feedback that records every message box, status text and refresh,
// and answers questions from a script (OK when the script is empty).
#ifndef QEV_TEST_RECORDING_FEEDBACK_H
#define QEV_TEST_RECORDING_FEEDBACK_H

#include "user_feedback.h"

#include <deque>
#include <string>
#include <vector>

namespace qev::test {

struct TShown_Message {
    std::string Text;
    std::string Caption;
    TMessage_Kind Kind;
};

// "text / caption" of each message, in order: easy to compare as a whole.
inline std::vector<std::string> Message_Texts(const std::vector<TShown_Message>& messages) {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.Text + " / " + m.Caption);
    return out;
}

class TRecording_Feedback : public TUser_Feedback {
public:
    TMessage_Answer Message_Box(const std::string& text, const std::string& caption, TMessage_Kind kind) override {
        Messages.push_back({text, caption, kind});
        if (Answers.empty()) return TMessage_Answer::OK;
        TMessage_Answer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    void Set_Status_Text(const std::string& text) override { Status_Texts.push_back(text); }
    void Refresh_Command_View() override { ++Refreshes; }
    std::vector<std::string> Texts() const { return Message_Texts(Messages); }

    std::vector<TShown_Message> Messages;
    std::deque<TMessage_Answer> Answers;
    std::vector<std::string> Status_Texts;
    int Refreshes = 0;
};

}  // namespace qev::test

#endif
