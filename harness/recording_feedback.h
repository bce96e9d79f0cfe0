// A TUser_Feedback and TMain_View that record every message box, file and
// folder request, status text and refresh, and answer from scripts:
// questions OK and dialogs Cancel when their script is empty.
#ifndef QEV_HARNESS_RECORDING_FEEDBACK_H
#define QEV_HARNESS_RECORDING_FEEDBACK_H

#include "app/core/main_view.h"
#include "base/user_feedback.h"

#include <deque>
#include <functional>
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

class TRecording_Feedback : public TUser_Feedback, public TMain_View {
public:
    TMessage_Answer Message_Box(const std::string& text, const std::string& caption, TMessage_Kind kind) override {
        Messages.push_back({text, caption, kind});
        if (Answers.empty()) return TMessage_Answer::OK;
        const TMessage_Answer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    std::optional<std::string> Choose_File(const TFile_Request& request) override {
        File_Requests.push_back(request);
        if (request.Chosen_Filter != nullptr) *request.Chosen_Filter = Chosen_Filter;
        return Next(Files);
    }
    std::optional<std::string> Choose_Folder(const std::string& title, const std::string& initial_folder) override {
        Folder_Requests.push_back(title + " | " + initial_folder);
        return Next(Folders);
    }
    void Process_Pending_Events() override {
        ++Event_Passes;
        if (On_Pending_Events) On_Pending_Events();
    }
    void Sleep_Ms(int milliseconds) override {
        Sleeps.push_back(milliseconds);
        if (On_Sleep) On_Sleep(milliseconds);
    }

    void Set_Status_Text(const std::string& text) override { Status_Texts.push_back(text); }
    void Refresh_Command_View() override { ++Refreshes; }
    void Busy_Ended() override { ++Busy_Ends; }
    int Apply_Background() override {
        View_Calls.push_back("Apply_Background");
        return Background_Result;
    }
    void Map_Keys() override { View_Calls.push_back("Map_Keys"); }

    std::vector<std::string> Texts() const { return Message_Texts(Messages); }

    std::vector<TShown_Message> Messages;
    std::deque<TMessage_Answer> Answers;
    std::deque<std::string> Files;  // answers of the file dialogs; "" = Cancel
    int Chosen_Filter = 0;          // the filter index a file dialog reports
    std::vector<TFile_Request> File_Requests;
    std::deque<std::string> Folders;  // answers of the folder dialogs; "" = Cancel
    std::vector<std::string> Folder_Requests;
    int Event_Passes = 0;
    std::function<void()> On_Pending_Events;  // e.g. let a test's Qt events through
    std::vector<int> Sleeps;
    std::function<void(int)> On_Sleep;  // e.g. really sleep, as the program does
    std::vector<std::string> Status_Texts;
    int Refreshes = 0;
    int Busy_Ends = 0;
    std::vector<std::string> View_Calls;  // Apply_Background and Map_Keys, in order
    int Background_Result = 0;

private:
    static std::optional<std::string> Next(std::deque<std::string>& script) {
        if (script.empty()) return std::nullopt;
        std::string answer = std::move(script.front());
        script.pop_front();
        if (answer.empty()) return std::nullopt;
        return answer;
    }
};

}  // namespace qev::test

#endif
