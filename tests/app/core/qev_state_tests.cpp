// Start-up, shutdown and sending through the shared state, with a scripted
// counter and a fake port instead of the hardware.
#include "app/core/qev_state.h"
#include "app/core/table_codes.h"
#include "harness/fake_port.h"
#include "harness/priority_recorder.h"
#include "harness/recording_feedback.h"
#include "ir/protocols.h"
#include "ir/sampling.h"
#include "tests/support/state_fixture.h"
#include "tests/support/temp_env.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace qev::test {
namespace {

class State_Test : public State_Fixture {
protected:
    std::vector<std::string> Texts() const { return feedback.Texts(); }
    int Load(const std::string& text, int report_errors = 1) {
        Write_File(profile.File("c.rmt"), text);
        return state.Load_Command_File(profile.File("c.rmt"), report_errors);
    }
};

TEST_F(State_Test, Without_A_Counter_Start_Up_Stops_First) {
    counter.Present = false;
    EXPECT_FALSE(state.Start_Up());
    EXPECT_EQ(Texts(),
              std::vector<std::string>{"This Hardware dosen't support QueryPerformanceCounter. / Function Error"});
    EXPECT_TRUE(fake.Writes.empty()) << "the port was not prepared";
    EXPECT_EQ(state.Clock.Tick_Period, 0);
    EXPECT_FALSE(File_Exists(Settings_File()));
}

TEST_F(State_Test, Start_Up_Prepares_The_Configured_Port_And_Sizes_The_Buffers) {
    Write_File(Settings_File(),
               "[LPT]\nBase_Address=0x3BC\n[COMMAND]\nMAX_RMTCMD_NUM=$20\n[WAVEFORM]\nMAX_RMTCMD_BIT_LENGTH=1017\n");
    fake.Registers[0x3BE] = 0x2C;
    ASSERT_TRUE(state.Start_Up());
    EXPECT_EQ(state.Clock.Tick_Period, 1000);
    EXPECT_EQ(fake.Registers[0x3BE], 0x0C);
    EXPECT_EQ(fake.Registers[0x3BC], 0xFE);
    EXPECT_EQ(state.Port_Base(), 0x3BCu);
    EXPECT_EQ(state.Table.Rows(), 32);
    EXPECT_EQ(state.Table.Row_Capacity(), 128);
    EXPECT_EQ(state.Samples.Capacity(), 1024);
    EXPECT_EQ(state.Table.Command_Count, 0);
    EXPECT_TRUE(feedback.Messages.empty());
}

TEST_F(State_Test, Zero_And_Negative_Sizes_Give_Empty_Storage_That_Refuses_Safely) {
    Write_File(Settings_File(), "[COMMAND]\nMAX_RMTCMD_NUM=0\n[WAVEFORM]\nMAX_RMTCMD_BIT_LENGTH=-64\n");
    ASSERT_TRUE(state.Start_Up());
    EXPECT_EQ(state.Table.Rows(), 0);
    EXPECT_EQ(state.Samples.Capacity(), 0);
    Load("POWER,FF\n");
    EXPECT_EQ(Texts(), std::vector<std::string>{"Unexpected Data Size / File Read Error"});
    EXPECT_EQ(state.Table.Command_Count, 0);
    state.Samples.Sample_Count = 500;
    state.Transmit_Command();
    EXPECT_TRUE(fake.Writes.size() == 1u) << "only the port preparation wrote";
    EXPECT_EQ(state.Write_Settings_File(), TShut_Down_Result::Written);
    const std::string ini = Read_File(Settings_File());
    EXPECT_NE(ini.find("MAX_RMTCMD_NUM=0\n"), std::string::npos) << "the value itself is kept";
    EXPECT_NE(ini.find("MAX_RMTCMD_BIT_LENGTH=-64\n"), std::string::npos);
}

// Priority calls that take time, as the system calls behind them do; the
// calls are recorded in order.
class TTimed_Priority final : public TPriority_Api {
public:
    TTimed_Priority(TFake_Counter& counter, int64_t cost) : counter_(counter), cost_(cost) {}
    TSaved_Priority Save() override { return Spend(), Recorder.Save(); }
    void Set_Process_High() override { Spend(), Recorder.Set_Process_High(); }
    void Set_Thread_Time_Critical() override { Spend(), Recorder.Set_Thread_Time_Critical(); }
    void Restore_Thread(const TSaved_Priority& saved) override { Spend(), Recorder.Restore_Thread(saved); }
    void Restore_Process(const TSaved_Priority& saved) override { Spend(), Recorder.Restore_Process(saved); }

    TPriority_Recorder Recorder;

private:
    void Spend() { counter_.Now += cost_; }
    TFake_Counter& counter_;
    int64_t cost_;
};

const std::vector<std::string> Raised_Once = {"save", "process high", "thread critical", "restore thread",
                                              "restore process"};

TEST_F(State_Test, Send_Command_Transmits_Repeat_Times) {
    ASSERT_TRUE(state.Start_Up());
    Load("@REPEAT = 3\nA,05\n");
    fake.Writes.clear();
    state.Send_Command(0);
    ASSERT_EQ(fake.Writes.size(), 24u);
    EXPECT_EQ(priority.Calls, Raised_Once) << "raised for the first repetition, restored after the last";
    EXPECT_EQ(state.Clock.Raised_Depth(), 0);
    for (const int32_t repeat : {0, -2}) {
        state.Settings.REPEAT = repeat;
        fake.Writes.clear();
        priority.Calls.clear();
        state.Send_Command(0);
        EXPECT_TRUE(fake.Writes.empty()) << repeat;
        EXPECT_TRUE(priority.Calls.empty()) << "REPEAT " << repeat << " raises nothing";
    }
    state.Settings.REPEAT = 1;
    for (const int32_t row : {-1, 1, 255}) {
        state.Send_Command(row);
        EXPECT_TRUE(fake.Writes.empty()) << "row " << row << " is not in use";
        EXPECT_TRUE(priority.Calls.empty()) << "row " << row;
    }
    state.Settings.REPEAT = 3;
    state.Port.Set_Function_Table(TFake_Port::Table(false, true));
    state.Send_Command(0);
    EXPECT_TRUE(priority.Calls.empty()) << "nothing to send with: nothing raised";
}

// With TOGGLE set, each press of an RC5 row flips its toggle bit (the first
// as LIRC's first press, 1), the transmissions of one send and a held key's
// repetition keep it, and a row of another protocol goes out as learned.
TEST_F(State_Test, Toggle_Alternates_On_Each_Press_Of_An_Rc5_Row) {
    ASSERT_TRUE(state.Start_Up());
    Load("@REPEAT = 1\nA,05\n");
    Store_Levels(state.Table, 0, Sample_Timing(Encode({TProtocol::RC5, 0x05, 0x35}), 1024));  // toggle 0
    const auto sent = [&](int32_t times, TPress press) {
        fake.Writes.clear();
        state.Send_Command(0, times, press);
        std::vector<int> values;
        for (const auto& write : fake.Writes) values.push_back(write.Value);
        return values;
    };
    const std::vector<int> learned = sent(1, TPress::New);
    state.Settings.TOGGLE = 1;
    const std::vector<int> first = sent(1, TPress::New);
    const std::vector<int> held = sent(1, TPress::Held);
    const std::vector<int> second = sent(2, TPress::New);
    const std::vector<int> third = sent(1, TPress::New);
    EXPECT_NE(first, learned) << "the first press carries toggle 1";
    EXPECT_EQ(held, first);
    ASSERT_EQ(second.size(), 2 * learned.size());
    EXPECT_EQ(std::vector<int>(second.begin(), second.begin() + static_cast<std::ptrdiff_t>(learned.size())), learned);
    EXPECT_EQ(std::vector<int>(second.begin() + static_cast<std::ptrdiff_t>(learned.size()), second.end()), learned);
    EXPECT_EQ(third, first);
    Load("@REPEAT = 1\nB,0F\n");
    const std::vector<int> plain = sent(1, TPress::New);
    EXPECT_EQ(sent(1, TPress::New), plain) << "a signal without a toggle bit goes out as learned";
}

TEST_F(State_Test, Repetitions_Follow_Each_Other_After_Exactly_One_And_A_Half_Ticks) {
    struct Row {
        const char* name;
        int64_t call_cost;  // counter units per priority call
    };
    const std::vector<Row> rows = {
        {"free_priority_calls", 0},
        {"priority_calls_of_20_us", 160},
    };
    Write_File(profile.File("c.rmt"), "@REPEAT = 4\nA,05\n");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TTimed_Priority timed(counter, row.call_cost);
        TQEV_State sender(counter, timed, feedback, feedback);
        sender.Executable_Path = state.Executable_Path;
        sender.Port_Library_Name = state.Port_Library_Name;
        sender.Port.Set_Function_Table(TFake_Port::Table());
        ASSERT_TRUE(sender.Start_Up());
        ASSERT_EQ(sender.Load_Command_File(profile.File("c.rmt"), 1), 0);
        fake.Writes.clear();
        sender.Send_Command(0);
        ASSERT_EQ(fake.Writes.size(), 4u * 8u);
        for (std::size_t i = 1; i < fake.Writes.size(); ++i) {
            // Within a repetition one tick per sample; between two, the last
            // sample's tick, the next one's half tick and Start_Tick's one
            // read of the counter (one unit per read).
            const int64_t expected = i % 8 == 0 ? 1000 + 500 + 1 : 1000;
            EXPECT_EQ(fake.Writes[i].Time - fake.Writes[i - 1].Time, expected) << "write " << i;
        }
        EXPECT_EQ(timed.Recorder.Calls, Raised_Once);
    }
}

TEST_F(State_Test, Long_Repeated_Sends_Sleep_Before_Each_Deadline_After_Half_A_Second) {
    ASSERT_TRUE(state.Start_Up());
    // 1024 samples, 8 times: 1.024 s at raised priority, past the throttling budget.
    std::string row = "LONG";
    for (int i = 0; i < 128; ++i) row += ",55";
    Load("@REPEAT = 8\n" + row + "\n");
    ASSERT_EQ(state.Table.Row(0).Byte_Count, 128);
    fake.Writes.clear();
    counter.Sleeps.clear();
    const int64_t start = counter.Now;
    state.Send_Command(0);
    ASSERT_EQ(fake.Writes.size(), 8u * 1024u);
    EXPECT_EQ(priority.Calls, Raised_Once);
    ASSERT_FALSE(counter.Sleeps.empty());
    EXPECT_GE(counter.Sleeps.front() - start, 4'000'000 - 1'000) << "no sleep in the first half second";
    // Every wait after the first half second sleeps, all the way to the end.
    EXPECT_GT(counter.Sleeps.size(), 8u * 1024u - 4'000u - 20u);
    EXPECT_GE(counter.Sleeps.back(), fake.Writes.back().Time);
    // Each sleep ends Sleep_Guard_Seconds (640 units) before a deadline: that
    // of a sample (the write follows the deadline's read, one unit later) or
    // that of the tick after a repetition's last sample.
    std::set<int64_t> deadlines;
    for (std::size_t i = 0; i < fake.Writes.size(); ++i) {
        deadlines.insert(fake.Writes[i].Time - 1);
        if (i % 1024 == 1023) deadlines.insert(fake.Writes[i].Time - 1 + 1000);
    }
    const auto off = std::find_if(counter.Sleeps.begin(), counter.Sleeps.end(),
                                  [&](int64_t wake) { return deadlines.count(wake + 640) == 0; });
    EXPECT_TRUE(off == counter.Sleeps.end()) << "sleep " << off - counter.Sleeps.begin() << " ends off the guard";
    // The samples keep the schedule: one tick apart within a repetition.
    for (std::size_t i = 1; i < fake.Writes.size(); ++i) {
        if (i % 1024 == 0) continue;
        if (fake.Writes[i].Time - fake.Writes[i - 1].Time != 1000) {
            ADD_FAILURE() << "write " << i << " is " << fake.Writes[i].Time - fake.Writes[i - 1].Time
                          << " units after the one before";
            break;
        }
    }
}

TEST_F(State_Test, Transmit_Never_Reads_Past_The_Buffer) {
    ASSERT_TRUE(state.Start_Up());
    fake.Writes.clear();
    state.Samples.Sample_Count = 5000;  // typed into a length field
    state.Transmit_Command();
    EXPECT_EQ(fake.Writes.size(), 1024u);
}

TEST_F(State_Test, Shutdown_Writes_The_Values_In_Memory) {
    ASSERT_TRUE(state.Start_Up());
    Load("@REPEAT = 3\n");
    state.Set_LPT_Address(0x3bc);
    ASSERT_EQ(state.Write_Settings_File(), TShut_Down_Result::Written);
    const std::string ini = Read_File(Settings_File());
    EXPECT_NE(ini.find("REPEAT=3\n"), std::string::npos);
    EXPECT_NE(ini.find("Base_Address=0x3BC\n"), std::string::npos);
    EXPECT_NE(ini.find("RMT_DIR=" + profile.Path() + "\n"), std::string::npos) << "the folder of the file read";
}

TEST_F(State_Test, Reading_A_Command_File_Applies_What_It_Says) {
    ASSERT_TRUE(state.Start_Up());
    std::filesystem::create_directory(profile.File("sub"));
    Write_File(profile.File("sub/tv.rmt"), "@REPEAT = 4\nPOWER,FF\n");
    EXPECT_EQ(state.Load_Command_File(profile.File("sub/tv.rmt"), 1), 0);
    EXPECT_EQ(state.Settings.REPEAT, 4);
    EXPECT_EQ(state.Settings.RMT_DIR, profile.File("sub"));
    EXPECT_EQ(feedback.Status_Texts, std::vector<std::string>{"tv.rmt"});
    EXPECT_EQ(feedback.Refreshes, 1);
    EXPECT_EQ(state.Find_Command("POWER"), 0);
}

TEST_F(State_Test, The_File_Opens_Before_Its_Faults_Are_Shown) {
    std::vector<std::string> order;
    struct TOrder_Feedback : TRecording_Feedback {
        std::vector<std::string>* order;
        TMessage_Answer Message_Box(const std::string& t, const std::string& c, TMessage_Kind k) override {
            order->push_back("box");
            return TRecording_Feedback::Message_Box(t, c, k);
        }
        void Set_Status_Text(const std::string& t) override { order->push_back("status " + t); }
        void Refresh_Command_View() override { order->push_back("refresh"); }
    } watcher;
    watcher.order = &order;
    TQEV_State watched{counter, priority, watcher, watcher};
    watched.Executable_Path = state.Executable_Path;
    watched.Port_Library_Name = state.Port_Library_Name;
    ASSERT_TRUE(watched.Start_Up());
    watched.Settings.MAX_RMTCMD_NUM = 1;
    Write_File(profile.File("two.rmt"), "A\nB\n");
    EXPECT_EQ(watched.Load_Command_File(profile.File("two.rmt"), 1), 1);
    EXPECT_EQ(order, (std::vector<std::string>{"status two.rmt", "box", "refresh"}));
}

TEST_F(State_Test, A_Bad_Repetition_Line_Keeps_The_Earlier_Count_And_The_Table) {
    ASSERT_TRUE(state.Start_Up());
    Load("X,01\n");
    const int refreshes = feedback.Refreshes;
    EXPECT_EQ(Load("@REPEAT = 5\nNEW\n@REPEAT\n"), -1);
    EXPECT_EQ(state.Settings.REPEAT, 5);
    EXPECT_EQ(state.Find_Command("X"), 0);
    EXPECT_EQ(feedback.Refreshes, refreshes) << "the view stays as it was";
    EXPECT_EQ(feedback.Status_Texts.back(), "c.rmt") << "the file was open";
}

TEST_F(State_Test, What_Is_Not_A_Readable_File_Changes_Nothing) {
    ASSERT_TRUE(state.Start_Up());
    Load("KEEP,01\n");
    feedback.Status_Texts.clear();
    state.Settings.RMT_DIR = "/before";
    std::filesystem::create_directory(profile.File("folder.rmt"));
    for (const std::string& path : {profile.File("missing.rmt"), profile.File("folder.rmt"), profile.Path()}) {
        SCOPED_TRACE(path);
        feedback.Messages.clear();
        EXPECT_EQ(state.Load_Command_File(path, 1), -1);
        EXPECT_EQ(Texts(), std::vector<std::string>{"Can't Open File / File Open Error"});
        EXPECT_EQ(state.Load_Command_File(path, 0), -1);
        EXPECT_EQ(Texts().size(), 1u) << "silent the second time";
    }
    EXPECT_EQ(state.Settings.RMT_DIR, "/before");
    EXPECT_TRUE(feedback.Status_Texts.empty());
    EXPECT_EQ(state.Find_Command("KEEP"), 0);
}

// Read from File, start-up and @LOAD given a file far larger than the
// table of the Settings can take: refused at once, with nothing changed.
TEST_F(State_Test, A_File_Far_Larger_Than_The_Table_Changes_Nothing) {
    ASSERT_TRUE(state.Start_Up());
    Load("KEEP,01\n");
    feedback.Status_Texts.clear();
    feedback.Messages.clear();
    state.Settings.RMT_DIR = "/before";
    const std::string path = profile.File("zeros.rmt");
    Write_File(path, "");
    ASSERT_EQ(::truncate(path.c_str(), off_t{20} << 30), 0);  // sparse: nothing is written
    EXPECT_EQ(state.Load_Command_File(path, 1), -1);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0].rfind("Can't Open File\nThe file is 20.0 GB, more than 256 commands of 128 bytes", 0), 0u)
        << Texts()[0];
    EXPECT_EQ(state.Load_Command_File(path, 0), -1);
    EXPECT_EQ(Texts().size(), 1u) << "silent the second time";
    EXPECT_EQ(state.Settings.RMT_DIR, "/before");
    EXPECT_TRUE(feedback.Status_Texts.empty());
    EXPECT_EQ(state.Find_Command("KEEP"), 0);
}

TEST_F(State_Test, Silent_Reads_Return_The_Same_Without_A_Box) {
    ASSERT_TRUE(state.Start_Up());
    state.Settings.MAX_RMTCMD_NUM = 1;
    EXPECT_EQ(Load("A\nB\n", 0), 1);
    EXPECT_EQ(Load("@REPEAT\n", 0), -1);
    EXPECT_TRUE(feedback.Messages.empty());
}

// A folder with a small tmpfs on it, full but for the old file, when the
// test may mount one (root with the right to mount); otherwise nothing.
class TFull_Tmpfs {
public:
    explicit TFull_Tmpfs(const std::string& folder) : folder_(folder) {
        if (::geteuid() != 0 || ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0) return;
        mounted_ = true;
    }
    ~TFull_Tmpfs() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    // Writes a filler file until the file system refuses more.
    void Fill() {
        std::ofstream filler(folder_ + "/filler", std::ios::binary);
        const std::string block(512, 'f');
        while (filler.write(block.data(), block.size())) {
        }
    }

private:
    std::string folder_;
    bool mounted_ = false;
};

TEST_F(State_Test, A_Refused_Save_Keeps_The_Old_File_Byte_For_Byte_And_Says_So) {
    ASSERT_TRUE(state.Start_Up());
    // Forty full rows: some 15 kB to write, more than any of the limits below allows.
    std::string table = "@REPEAT = 2\n";
    for (int row = 0; row < 40; ++row) {
        table += "NEW" + std::to_string(row);
        for (int b = 0; b < 128; ++b) table += ",5A";
        table += "\n";
    }
    ASSERT_EQ(Load(table), 0);
    const std::string old_bytes = "@REPEAT = 9\r\nOLD,01\r\n";
    // 0 when the save failed, said so in the one message and left the status bar alone.
    const auto refused = [this](const std::string& path) {
        feedback.Messages.clear();
        feedback.Status_Texts.clear();
        const bool saved = state.Save_Command_File(path);
        const bool said = Texts() == std::vector<std::string>{"Can't Create File / File Open Error"};
        return !saved && said && feedback.Status_Texts.empty() ? 0 : 1;
    };
    struct Row {
        const char* name;
        bool old_file;                                                    // an old file is there to keep
        std::function<int(const std::string&, const std::string&)> save;  // (folder, path) -> refused(path)
    };
    const std::vector<Row> rows = {
        {"new_file_in_a_folder_that_refuses_writes", false,
         [&](const std::string& folder, const std::string& path) {
             Give_To_Test_User(folder);
             ::chmod(folder.c_str(), 0555);
             const int result = Run_Unprivileged([&] { return refused(path); });
             ::chmod(folder.c_str(), 0755);
             return result;
         }},
        {"write_protected_file", true,
         [&](const std::string& folder, const std::string& path) {
             Give_To_Test_User(folder);
             Give_To_Test_User(path);
             ::chmod(path.c_str(), 0444);
             return Run_Unprivileged([&] { return refused(path); });
         }},
        {"full_disk", true,
         [&](const std::string& folder, const std::string& path) {
             TFull_Tmpfs tmpfs(folder);
             if (tmpfs.Mounted()) {
                 Write_File(path, old_bytes);
                 tmpfs.Fill();
                 const int result = refused(path);
                 EXPECT_EQ(Read_File(path), old_bytes) << "on the full tmpfs";
                 return result;
             }
             // A file-size limit fails the write the way a full disk does.
             rlimit old_limit{};
             ::getrlimit(RLIMIT_FSIZE, &old_limit);
             const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
             rlimit small = old_limit;
             small.rlim_cur = 4096;
             ::setrlimit(RLIMIT_FSIZE, &small);
             const int result = refused(path);
             ::setrlimit(RLIMIT_FSIZE, &old_limit);
             std::signal(SIGXFSZ, old_handler);
             return result;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TTemp_Dir dir;
        const std::string folder = dir.File("f"), path = dir.File("f/tv.rmt");
        std::filesystem::create_directory(folder);
        Give_To_Test_User(dir.Path());
        if (row.old_file) Write_File(path, old_bytes);
        EXPECT_EQ(row.save(folder, path), 0);
        if (row.old_file) {
            EXPECT_EQ(Read_File(path), old_bytes);
        } else {
            EXPECT_FALSE(std::filesystem::exists(path));
        }
    }
}

TEST_F(State_Test, Saving_Shows_The_File_Name) {
    ASSERT_TRUE(state.Start_Up());
    Load("@REPEAT = 2\nA,01\n");
    EXPECT_TRUE(state.Save_Command_File(profile.File("out.rmt")));
    EXPECT_EQ(Read_File(profile.File("out.rmt")), "@REPEAT = 2\r\nA,01\r\n");
    EXPECT_EQ(feedback.Status_Texts.back(), "out.rmt");
    feedback.Status_Texts.clear();
    EXPECT_FALSE(state.Save_Command_File(profile.File("no/such/folder.rmt")));
    EXPECT_EQ(Texts(), std::vector<std::string>{"Can't Create File / File Open Error"});
    EXPECT_TRUE(feedback.Status_Texts.empty());
}

// The file dialogs start where the last save went, even a refused one.
TEST_F(State_Test, Saving_Makes_The_File_s_Folder_The_Folder_Of_The_Dialogs) {
    ASSERT_TRUE(state.Start_Up());
    Load("A,01\n");
    std::filesystem::create_directory(profile.File("out"));
    struct Row {
        const char* name;
        std::string path;
        bool saved;
        std::string folder;
    };
    const std::vector<Row> rows = {
        {"written", profile.File("out/tv.rmt"), true, profile.File("out")},
        {"refused", profile.File("no/such/folder.rmt"), false, profile.File("no/such")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state.Settings.RMT_DIR = "/before";
        EXPECT_EQ(state.Save_Command_File(row.path), row.saved);
        EXPECT_EQ(state.Settings.RMT_DIR, row.folder);
    }
}

TEST_F(State_Test, Clear_All_Data_Leaves_No_Row_In_Use_And_None_Unsaved) {
    ASSERT_TRUE(state.Start_Up());
    ASSERT_EQ(Load("@REPEAT = 2\nPOWER,01\nPLAY,03\n"), 0);
    state.Origin.Rows_Added();
    state.Clear_All_Data();
    EXPECT_EQ(state.Table.Rows_In_Use(), 0);
    EXPECT_EQ(state.Find_Command("POWER"), -1);
    EXPECT_FALSE(state.Origin.Unsaved_Rows());
    EXPECT_EQ(state.Settings.REPEAT, 2) << "the settings stay";
    EXPECT_EQ(state.Origin.Command_File_Path(), profile.File("c.rmt")) << "the remote keeps its file's name";
}

TEST_F(State_Test, Shutdown_Without_A_Profile_Says_So_And_Writes_Nothing) {
    ASSERT_TRUE(state.Start_Up());
    TEnv_Guard no_user("USERPROFILE", std::nullopt);
    TEnv_Guard no_home("HOME", std::nullopt);
    EXPECT_EQ(state.Write_Settings_File(), TShut_Down_Result::No_Profile);
    EXPECT_EQ(Texts(), std::vector<std::string>{"USERPROFILE is not founded / INI File Load Error"});
    EXPECT_FALSE(File_Exists(Settings_File()));
}

}  // namespace
}  // namespace qev::test
