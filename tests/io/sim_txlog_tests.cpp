// The simulated port's log of data-register writes: what is recorded, its
// times, the ring, and the IO_SIM_TXLOG file.
#include "tests/io/sim_test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <thread>

namespace iotest {
namespace {

using Tx_Log_Test = SimPortTest;

struct Write {
    unsigned short port;
    unsigned char value;
    bool operator==(const Write&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Write& w) {
    char text[32];
    std::snprintf(text, sizeof text, "{0x%04X, 0x%02X}", w.port, w.value);
    return out << text;
}

std::vector<Write> LoggedWrites() {
    std::vector<Write> writes;
    for (long long i = 0; i < IoSimTxCount(); ++i) {
        Write w{};
        if (IoSimTxEntry(i, nullptr, &w.port, &w.value) == 1) writes.push_back(w);
    }
    return writes;
}

struct WriteRow {
    const char* name;
    void (*action)();
    std::vector<Write> logged;
};

class Logged_Data_Writes : public SimPortTest, public ::testing::WithParamInterface<WriteRow> {};

TEST_P(Logged_Data_Writes, Every_Byte_That_Lands_On_A_Data_Register) {
    const WriteRow& row = GetParam();
    const std::int64_t before = NowNs();
    row.action();
    const std::int64_t after = NowNs();
    ASSERT_EQ(IoSimTxCount(), static_cast<long long>(row.logged.size()));
    EXPECT_EQ(LoggedWrites(), row.logged);
    std::int64_t previous = before;
    for (long long i = 0; i < IoSimTxCount(); ++i) {
        long long t = -1;
        ASSERT_EQ(IoSimTxEntry(i, &t, nullptr, nullptr), 1);
        EXPECT_GE(t, previous) << "entry " << i;
        EXPECT_LE(t, after) << "entry " << i;
        previous = t;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writes, Logged_Data_Writes,
    ::testing::Values(WriteRow{"byte_to_data", [] { PortOut(0x378, 0xA5); }, {{0x378, 0xA5}}},
                      WriteRow{"status_control_offset3_not_logged",
                               [] {
                                   PortOut(0x379, 1);
                                   PortOut(0x37A, 2);
                                   PortOut(0x37B, 3);
                               },
                               {}},
                      WriteRow{"reads_not_logged", [] { PortIn(0x378); }, {}},
                      WriteRow{"word_low_byte_on_data", [] { PortWordOut(0x378, 0xBBAA); }, {{0x378, 0xAA}}},
                      WriteRow{"word_high_byte_on_next_data", [] { PortWordOut(0x37B, 0xBBAA); }, {{0x37C, 0xBB}}},
                      WriteRow{"dword_third_byte_on_data", [] { PortDWordOut(0x376, 0x44332211); }, {{0x378, 0x33}}},
                      WriteRow{"dword_first_byte_on_data", [] { PortDWordOut(0x278, 0x44332211); }, {{0x278, 0x11}}},
                      WriteRow{"word_wraps_to_port_0", [] { PortWordOut(0xFFFF, 0x5AA5); }, {{0x0000, 0x5A}}},
                      WriteRow{"bit_helpers_write_back",
                               [] {
                                   SetPortBit(0x378, 0);
                                   NotPortBit(0x378, 7);
                                   LeftPortShift(0x378, 1);
                               },
                               {{0x378, 0x01}, {0x378, 0x81}, {0x378, 0x03}}},
                      WriteRow{"transmitter_pattern_two_bases",
                               [] {
                                   PortOut(0x378, 0xFF);
                                   PortOut(0x3BC, 0xFE);
                                   PortOut(0x378, 0xFE);
                               },
                               {{0x378, 0xFF}, {0x3BC, 0xFE}, {0x378, 0xFE}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Tx_Log_Test, Many_Writes_Keep_Order_And_Time) {
    constexpr int kWrites = 5000;
    for (int i = 0; i < kWrites; ++i) PortOut((i & 1) != 0 ? 0x278 : 0x378, static_cast<unsigned char>(i * 7));
    ASSERT_EQ(IoSimTxCount(), kWrites);
    long long previous = 0;
    for (int i = 0; i < kWrites; ++i) {
        long long t = 0;
        unsigned short port = 0;
        unsigned char value = 0;
        ASSERT_EQ(IoSimTxEntry(i, &t, &port, &value), 1) << i;
        ASSERT_EQ(port, (i & 1) != 0 ? 0x278 : 0x378) << i;
        ASSERT_EQ(value, static_cast<unsigned char>(i * 7)) << i;
        ASSERT_GE(t, previous) << i;
        previous = t;
    }
    EXPECT_EQ(IoSimTxEntry(kWrites, nullptr, nullptr, nullptr), 0) << "not written yet";
    EXPECT_EQ(IoSimTxEntry(-1, nullptr, nullptr, nullptr), 0);
}

struct RingRow {
    const char* name;
    const char* capacity_env;  // IO_SIM_TXLOG_CAPACITY, nullptr: default
    long long capacity;
    long long writes;
};

class Tx_Ring : public SimPortTest, public ::testing::WithParamInterface<RingRow> {};

TEST_P(Tx_Ring, Wrap_Keeps_The_Newest_Entries) {
    const RingRow& row = GetParam();
    if (row.capacity_env != nullptr) setenv("IO_SIM_TXLOG_CAPACITY", row.capacity_env, 1);
    IoSimReset();
    for (long long i = 0; i < row.writes; ++i) PortOut(kBase, static_cast<unsigned char>(i % 251));
    ASSERT_EQ(IoSimTxCount(), row.writes) << "the count goes on past the ring";
    const long long oldest = row.writes > row.capacity ? row.writes - row.capacity : 0;
    if (oldest > 0) {
        EXPECT_EQ(IoSimTxEntry(oldest - 1, nullptr, nullptr, nullptr), 0) << "overwritten";
    }
    for (const long long index : {oldest, (oldest + row.writes) / 2, row.writes - 1}) {
        unsigned char value = 0;
        ASSERT_EQ(IoSimTxEntry(index, nullptr, nullptr, &value), 1) << index;
        EXPECT_EQ(value, index % 251) << index;
    }
}

INSTANTIATE_TEST_SUITE_P(Capacities, Tx_Ring,
                         ::testing::Values(RingRow{"small_ring", "8", 8, 20}, RingRow{"ring_of_one", "1", 1, 3},
                                           RingRow{"exactly_full", "16", 16, 16},
                                           RingRow{"hex_capacity", "0x10", 16, 40},
                                           RingRow{"default_262144", nullptr, 262144, 262144 + 5},
                                           RingRow{"invalid_uses_default", "lots", 262144, 262144 + 5}),
                         [](const auto& info) { return std::string(info.param.name); });

// The log is read from other threads (the file flusher, a test or benchmark)
// while the port's thread writes. An entry the ring overwrites during a read
// must come back as "not held", never as another write's port and value.
TEST_F(Tx_Log_Test, Reader_On_Another_Thread_Never_Gets_An_Overwritten_Entry) {
    constexpr long long kCapacity = 64;
    constexpr long long kWrites = 2'000'000;
    setenv("IO_SIM_TXLOG_CAPACITY", "64", 1);
    IoSimReset();
    // Entry i is written to port 0x378 or 0x278 (bit 8 of i) with value i & 0xFF.
    auto port_of = [](long long i) -> unsigned short { return ((i >> 8) & 1) != 0 ? 0x278 : 0x378; };

    std::atomic<bool> done{false};
    long long checked = 0;
    long long wrong = 0;
    std::string first_wrong;
    std::thread reader([&] {
        while (!done.load()) {
            const long long count = IoSimTxCount();
            // The oldest held entry is the next to be overwritten.
            for (long long index = std::max(0LL, count - kCapacity); index < count; index += 7) {
                unsigned short port = 0;
                unsigned char value = 0;
                if (IoSimTxEntry(index, nullptr, &port, &value) != 1) continue;
                ++checked;
                if (port != port_of(index) || value != (index & 0xFF)) {
                    if (wrong++ == 0) first_wrong = "entry " + std::to_string(index) + " read as another write";
                }
            }
        }
    });
    for (long long i = 0; i < kWrites; ++i) PortOut(port_of(i), static_cast<unsigned char>(i & 0xFF));
    done = true;
    reader.join();
    EXPECT_EQ(wrong, 0) << first_wrong;
    EXPECT_GT(checked, 0);
    EXPECT_EQ(IoSimTxCount(), kWrites);
}

TEST_F(Tx_Log_Test, Clear_Restarts_The_Numbering) {
    for (int i = 0; i < 5; ++i) PortOut(kBase, static_cast<unsigned char>(i));
    IoSimTxClear();
    EXPECT_EQ(IoSimTxCount(), 0);
    EXPECT_EQ(IoSimTxEntry(0, nullptr, nullptr, nullptr), 0);
    PortOut(kBase, 0x42);
    unsigned char value = 0;
    ASSERT_EQ(IoSimTxEntry(0, nullptr, nullptr, &value), 1);
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(IoSimTxCount(), 1);
}

// ---- the log file ---------------------------------------------------------------

const std::regex kLine(R"(^(\d+) 0x([0-9A-F]{3,4}) ([0-9A-F]{2})$)");

class Tx_Log_File : public SimPortTest {
protected:
    void SetUp() override {
        SimPortTest::SetUp();
        path_ = dir_.File("tx.log");
        setenv("IO_SIM_TXLOG", path_.c_str(), 1);
        IoSimReset();
    }
    TempDir dir_;
    std::string path_;
};

TEST_F(Tx_Log_File, Flush_Writes_One_Line_Per_Write_In_The_Documented_Format) {
    const std::vector<std::pair<unsigned short, const char*>> ports = {
        {0x378, "0x378"}, {0x078, "0x078"}, {0x000, "0x000"}, {0xE800, "0xE800"}, {0x3BC, "0x3BC"}};
    for (std::size_t i = 0; i < ports.size(); ++i) PortOut(ports[i].first, static_cast<unsigned char>(0x0A + i * 0x31));
    PortOut(0x379, 0x11);  // not a data register
    IoSimTxFlush();

    const std::vector<std::string> lines = ReadLines(path_);
    ASSERT_EQ(lines.size(), ports.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, kLine)) << lines[i];
        long long t = 0;
        ASSERT_EQ(IoSimTxEntry(static_cast<long long>(i), &t, nullptr, nullptr), 1);
        EXPECT_EQ(m[1].str(), std::to_string(t));
        EXPECT_EQ("0x" + m[2].str(), ports[i].second);
        char value[3];
        std::snprintf(value, sizeof value, "%02X", static_cast<unsigned>(static_cast<unsigned char>(0x0A + i * 0x31)));
        EXPECT_EQ(m[3].str(), value);
    }
}

TEST_F(Tx_Log_File, Background_Thread_Appends_Without_A_Flush) {
    for (int i = 0; i < 300; ++i) PortOut(kBase, static_cast<unsigned char>(i));
    ASSERT_TRUE(Wait_Until([&] { return ReadLines(path_).size() == 300; }, std::chrono::seconds(5)))
        << ReadLines(path_).size() << " lines";
    for (int i = 300; i < 310; ++i) PortOut(kBase, static_cast<unsigned char>(i));
    ASSERT_TRUE(Wait_Until([&] { return ReadLines(path_).size() == 310; }, std::chrono::seconds(5)));
    const auto lines = ReadLines(path_);
    EXPECT_EQ(lines[309].substr(lines[309].size() - 9), " 0x378 35");  // 309 & 0xFF = 0x35
}

TEST_F(Tx_Log_File, Clear_Keeps_What_The_File_Already_Shows) {
    for (int i = 0; i < 3; ++i) PortOut(kBase, 0xFF);
    IoSimTxClear();
    PortOut(kBase, 0xFE);
    PortOut(kBase, 0xFE);
    IoSimTxFlush();
    const auto lines = ReadLines(path_);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2].substr(lines[2].size() - 2), "FF");
    EXPECT_EQ(lines[3].substr(lines[3].size() - 2), "FE");
}

TEST_F(Tx_Log_File, Reset_Starts_The_File_Again) {
    PortOut(kBase, 0x01);
    IoSimTxFlush();
    ASSERT_EQ(ReadLines(path_).size(), 1u);
    WriteFile(path_, "left over\n");
    IoSimReset();
    PortOut(kBase, 0x02);
    IoSimTxFlush();
    const auto lines = ReadLines(path_);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 2), "02");
}

TEST_F(Tx_Log_File, Reset_Writes_Pending_Entries_To_The_Old_File_First) {
    PortOut(kBase, 0x0A);
    PortOut(kBase, 0x0B);
    const std::string second = dir_.File("second.log");
    setenv("IO_SIM_TXLOG", second.c_str(), 1);
    IoSimReset();
    PortOut(kBase, 0x0C);
    IoSimTxFlush();
    const auto old_lines = ReadLines(path_);
    ASSERT_EQ(old_lines.size(), 2u);
    EXPECT_EQ(old_lines[1].substr(old_lines[1].size() - 2), "0B");
    const auto new_lines = ReadLines(second);
    ASSERT_EQ(new_lines.size(), 1u);
    EXPECT_EQ(new_lines[0].substr(new_lines[0].size() - 2), "0C");
}

TEST_F(Tx_Log_File, Writes_Lost_To_The_Ring_Are_Reported_Not_Hidden) {
    setenv("IO_SIM_TXLOG_CAPACITY", "4", 1);
    IoSimReset();
    ::testing::internal::CaptureStderr();
    // Far more writes than the ring holds in less time than the 10 ms flush period.
    for (int i = 0; i < 100000; ++i) PortOut(kBase, static_cast<unsigned char>(i));
    IoSimTxFlush();
    const std::string err = ::testing::internal::GetCapturedStderr();
    const std::size_t lines = ReadLines(path_).size();
    ASSERT_LT(lines, 100000u) << "the ring of 4 cannot have kept everything";
    EXPECT_NE(err.find("IO_SIM_TXLOG_CAPACITY"), std::string::npos) << err;
    EXPECT_EQ(ReadLines(path_).back().substr(ReadLines(path_).back().size() - 2), "9F");  // 99999 & 0xFF
}

TEST_F(Tx_Log_File, Unset_Variable_Stops_The_File) {
    unsetenv("IO_SIM_TXLOG");
    IoSimReset();
    PortOut(kBase, 0x33);
    IoSimTxFlush();
    EXPECT_TRUE(ReadLines(path_).empty());
    EXPECT_EQ(IoSimTxCount(), 1) << "the log itself still works";
}

}  // namespace
}  // namespace iotest
