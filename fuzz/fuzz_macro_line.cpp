// Fuzzes the macro language: any bytes as a macro text, run against a fake
// port and a scripted counter whose every read is a whole tick, with a sleep
// that costs nothing, so a fuzzed @WAIT or a long transmission is free.
//
// The first byte picks the mode:
//   even: every line through Execute_Macro_Line with interactive 0, as the
//         Command server runs them: no message box, the line index and the
//         loop never touched, @COUNT and @LOOP refused;
//   odd:  the whole text through the macro dialog's executor (interactive
//         1), loops included, stopped by Abort after a bounded number of
//         lines so a fuzzed @COUNT cannot run for ever.
// Both check that the table stays within its rows and capacity, that every
// transmission is whole (one write per sample, each 0xFF or 0xFE), and in
// the dialog's mode that every highlighted line lies inside the text and the
// run begins and ends once.
//
// @LOAD reads Command files from a scratch folder (RMT_DIR) holding a good
// file, a faulty one and one with a repetition line; a line that would
// @LOAD a path with a folder in it is blanked so the target stays off the
// rest of the file system. The text is cut to its first 32 lines, with at
// most four @LOAD lines.
#include "harness/fake_counter.h"
#include "harness/fake_port.h"
#include "harness/priority_recorder.h"
#include "harness/recording_feedback.h"
#include "macro/core/macro_run.h"

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace qev;

constexpr int32_t Rows = 8;
constexpr int32_t Samples = 64;  // 8 bytes a row
// Bounds that keep every input cheap (above 10,000 a second) while still
// reaching loops within loops and loads between sends.
constexpr int Line_Budget = 48;        // lines run in the dialog's mode before Abort
constexpr std::size_t Max_Lines = 32;  // lines of the text
constexpr int Load_Budget = 4;         // @LOAD lines kept; later ones are blanked (each opens a file)
constexpr std::string_view Base_Table = "@REPEAT = 1\nPOWER,01,FF\nPLAY,03\nSTOP,0F,00,80\n";

void Write(const std::filesystem::path& path, std::string_view text) { std::ofstream(path, std::ios::binary) << text; }

struct TWorld {
    test::TFake_Counter Counter{8'000'000, 0, 1000};  // each read moves one tick on
    test::TPriority_Recorder Priority;
    test::TRecording_Feedback Feedback;
    test::TFake_Port Fake{Counter};
    TQEV_State State{Counter, Priority, Feedback, Feedback};
    std::filesystem::path Folder;

    TWorld() {
        // In memory where there is such a folder: @LOAD opens files often.
        const std::filesystem::path shm = "/dev/shm";
        const auto base = std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
        Folder = base / ("qev-fuzz-macro-" + std::to_string(getpid()));
        std::filesystem::create_directories(Folder);
        Write(Folder / "good.rmt", "@REPEAT = 2\nTV,AA,55\nRADIO,01\n");
        Write(Folder / "bad.rmt", "NAME,ZZ\n,01\nTOO_LONG_NAME_FOR_A_ROW_OF_THE_TABLE_AT_ALL,0102030405060708090A\n");
        Write(Folder / "repeat.rmt", "@REPEAT = x\nTV,01\n");
        State.Port.Set_Function_Table(test::TFake_Port::Table());
        State.Calc_Tick_Period();
        State.Samples.Allocate(Samples, Row_Capacity_For(Samples));
        State.Table.Allocate(Rows, Row_Capacity_For(Samples));
    }
    ~TWorld() {
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }
    // Before each input: the settings and table every input starts from.
    void Reset() {
        State.Settings.RMT_DIR = Folder.string();
        State.Settings.REPEAT = 1;
        State.Settings.MAX_RMTCMD_NUM = Rows;
        State.Settings.MAX_RMTCMD_BIT_LENGTH = Samples;
        State.Table.Command_Count = 0;
        Read_Command_Text(Base_Table, State.Command_File_Limits(), State.Table, {});
    }
    // After each input: every record of it goes, within the input (so the
    // fuzzer sees no memory kept from one input to the next), and a second
    // passes, so each input's sends start a fresh streak of the clock
    // instead of one run that never ends.
    void Forget() {
        Feedback = test::TRecording_Feedback();
        Fake.Writes.clear();
        Priority.Calls.clear();
        Counter.Sleeps.clear();
        Counter.Now += 8'000'000;
    }
};

void Check_Table(const TCommand_Table& table) {
    if (table.Command_Count < 0 || table.Command_Count > table.Rows()) std::abort();
    for (int32_t i = 0; i < table.Command_Count; ++i)
        if (table.Row(i).Byte_Count < 0 || table.Row(i).Byte_Count > table.Row_Capacity()) std::abort();
}

// Every write is a sample level; transmissions never write anything else.
void Check_Writes(const std::vector<test::TPort_Write>& writes) {
    for (const auto& write : writes)
        if (write.Value != 0xFF && write.Value != 0xFE) std::abort();
}

std::vector<std::string> Lines_Of(std::string_view text) {
    std::vector<std::string> lines;
    int loads = 0;
    std::size_t start = 0;
    while (lines.size() < Max_Lines) {
        const std::size_t end = text.find('\n', start);
        std::string line(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        const TMacro_Words words = Split_Macro_Line(line);
        if (words.Keyword == "@LOAD" && (words.Argument.find('/') != std::string::npos || ++loads > Load_Budget))
            line.clear();
        lines.push_back(std::move(line));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return lines;
}

class TText_Display final : public TMacro_Display {
public:
    explicit TText_Display(std::vector<std::string> lines) : lines_(std::move(lines)) {
        int32_t at = 0;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            starts_.push_back(at);
            at += static_cast<int32_t>(lines_[i].size()) + (i + 1 < lines_.size() ? 1 : 0);
        }
        starts_.push_back(at);
    }
    int32_t Line_Count() const override { return static_cast<int32_t>(lines_.size()); }
    std::string Line(int32_t index) const override {
        if (index < 0 || index >= Line_Count()) std::abort();
        return lines_[static_cast<std::size_t>(index)];
    }
    int32_t Line_Start(int32_t index) const override {
        if (index < 0 || index > Line_Count()) std::abort();
        return starts_[static_cast<std::size_t>(index)];
    }
    void Show_Selection(int32_t start, int32_t length) override {
        if (start < 0 || length < 0 || start + length > starts_.back()) std::abort();
        ++Selections;
    }
    void Begin_Run() override { ++Begins; }
    void End_Run() override { ++Ends; }

    int Selections = 0, Begins = 0, Ends = 0;

private:
    std::vector<std::string> lines_;
    std::vector<int32_t> starts_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TWorld world;
    if (size == 0) return 0;
    world.Reset();
    TQEV_State& state = world.State;
    const bool dialog = (data[0] & 1) != 0;
    const std::vector<std::string> lines = Lines_Of({reinterpret_cast<const char*>(data + 1), size - 1});

    if (!dialog) {
        for (const std::string& line : lines) {
            int32_t index = 7;
            TMacro_Context context{state};
            (void)Execute_Macro_Line(context, line, index, 0);
            if (index != 7) std::abort();
        }
        if (!world.Feedback.Messages.empty() || !world.Feedback.Folder_Requests.empty()) std::abort();
    } else {
        TText_Display display(lines);
        TMacro_Executor executor(state, display);
        int passes = 0;
        world.Feedback.On_Pending_Events = [&] {
            if (++passes == Line_Budget) executor.Abort();
        };
        executor.Run();
        if (executor.Running() || display.Begins != 1 || display.Ends != 1) std::abort();
        if (passes > Line_Budget) std::abort();  // Abort stops the run before the next line
    }
    Check_Table(state.Table);
    Check_Writes(world.Fake.Writes);
    world.Forget();
    return 0;
}
