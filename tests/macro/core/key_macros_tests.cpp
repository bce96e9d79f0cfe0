// The macros heard keys run: the KEYS file's lines, reading it again when it
// changes, and running a macro with a network client's bounds.
#include "macro/core/key_macros.h"

#include "harness/fake_port.h"
#include "harness/recording_feedback.h"
#include "tests/support/state_fixture.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace qev::test {
namespace {

TEST(Key_Macros, Path_Is_Beside_The_Settings_File) {
    EXPECT_EQ(Key_Macros_Path("/home/ann/QEV_LPT.INI"), "/home/ann/QEV_LPT.KEYS");
    EXPECT_EQ(Key_Macros_Path("/home/ann/Kitchen.INI"), "/home/ann/Kitchen.KEYS");
    EXPECT_EQ(Key_Macros_Path("/home/a.b/QEV"), "/home/a.b/QEV.KEYS");
    EXPECT_EQ(Key_Macros_Path("/home/ann/.INI"), "/home/ann/.INI.KEYS");
}

TEST(Key_Macros, Each_Line_Maps_A_Key) {
    struct TCase {
        const char* Name;
        std::string Text;
        std::string Key;
        std::optional<TKey_Macro> Macro;
        std::vector<int32_t> Fault_Lines;
    };
    const TCase cases[] = {
        {"a macro line", "POWER = TV_ON\n", "POWER", TKey_Macro{"TV_ON", ""}, {}},
        {"blanks do not count", "  VOL+\t=   @WAIT 500  \n", "VOL+", TKey_Macro{"@WAIT 500", ""}, {}},
        {"a Macro file beside", "PLAY = < evening.mcr\n", "PLAY", TKey_Macro{"", "/cfg/evening.mcr"}, {}},
        {"a Macro file elsewhere", "PLAY =</data/m.mcr\n", "PLAY", TKey_Macro{"", "/data/m.mcr"}, {}},
        {"a key named by its code", "NEC_0x04_0x08 = A", "NEC_0x04_0x08", TKey_Macro{"A", ""}, {}},
        {"comments and blank lines", "# keys\n\n   # more\nA = B\n", "A", TKey_Macro{"B", ""}, {}},
        {"the first line of a key counts", "A = B\nA = C\n", "A", TKey_Macro{"B", ""}, {}},
        {"case counts", "power = B\n", "POWER", std::nullopt, {}},
        {"a line without '='", "A B\nC = D\n", "C", TKey_Macro{"D", ""}, {1}},
        {"no key, no macro, no file", "= B\nA =\nC = <\n", "A", std::nullopt, {1, 2, 3}},
        {"a macro holding '='", "A = B=C\n", "A", TKey_Macro{"B=C", ""}, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TKey_Macro_Map map = Parse_Key_Macros(c.Text, "/cfg");
        const auto found = map.Keys.find(c.Key);
        ASSERT_EQ(found != map.Keys.end(), c.Macro.has_value());
        if (c.Macro) {
            EXPECT_EQ(found->second.Line, c.Macro->Line);
            EXPECT_EQ(found->second.File, c.Macro->File);
        }
        std::vector<int32_t> lines;
        for (const TKey_Macro_Fault& fault : map.Faults) lines.push_back(fault.Line);
        EXPECT_EQ(lines, c.Fault_Lines);
    }
}

class Key_Macros_Test : public State_Fixture {
protected:
    void SetUp() override {
        State_Fixture::SetUp();
        ASSERT_TRUE(state.Start_Up());
        Write_File(profile.File("c.rmt"), "A,01\nB,03\n");
        ASSERT_GE(state.Load_Command_File(profile.File("c.rmt"), 0), 0);
        fake.Writes.clear();
    }
    // The bytes sent, one per transmission of eight samples.
    std::vector<unsigned> Sent() const {
        std::vector<unsigned> bytes;
        for (std::size_t i = 0; i + 8 <= fake.Writes.size(); i += 8) {
            unsigned byte = 0;
            for (int k = 0; k < 8; ++k) byte |= (fake.Writes[i + k].Value == 0xFF ? 1u : 0u) << k;
            bytes.push_back(byte);
        }
        return bytes;
    }
};

TEST_F(Key_Macros_Test, The_File_Is_Read_Again_When_It_Changes) {
    const std::string path = profile.File("QEV_LPT.KEYS");
    TKey_Macros macros(path);
    EXPECT_FALSE(macros.Macro_For("POWER")) << "no file, no macros";
    Write_File(path, "POWER = A\r\n");
    ASSERT_TRUE(macros.Macro_For("POWER"));
    EXPECT_EQ(macros.Macro_For("POWER")->Line, "A");
    Write_File(path, "POWER = B B\nbroken\n");
    ASSERT_TRUE(macros.Macro_For("POWER"));
    EXPECT_EQ(macros.Macro_For("POWER")->Line, "B B");
    ASSERT_EQ(macros.Faults().size(), 1u);
    EXPECT_EQ(macros.Faults()[0].Line, 2);
    std::filesystem::remove(path);
    EXPECT_FALSE(macros.Macro_For("POWER"));
}

TEST_F(Key_Macros_Test, A_Macro_Runs_With_A_Network_Client_s_Bounds) {
    Write_File(profile.File("two.mcr"), "A\r\n@COUNT 3\r\nB\r\n@LOOP\r\n");
    struct TCase {
        const char* Name;
        TKey_Macro Macro;
        std::vector<unsigned> Sent;
        std::string Summary;
    };
    const TCase cases[] = {
        {"one command", {"A", ""}, {0x01}, "KEY ran A"},
        {"a Macro file without its loop",
         {"", profile.File("two.mcr")},
         {0x01, 0x03},
         "KEY ran two.mcr (line 2 failed)"},
        {"an unknown command", {"C", ""}, {}, "KEY ran C (failed)"},
        {"a wait beyond a client's bound", {"@WAIT 20000", ""}, {}, "KEY ran @WAIT 20000 (failed)"},
        {"a Command file by path",
         {"@LOAD " + profile.File("c.rmt"), ""},
         {},
         "KEY ran @LOAD " + profile.File("c.rmt") + " (failed)"},
        {"a missing Macro file", {"", profile.File("none.mcr")}, {}, "KEY: none.mcr: No such file or directory"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        fake.Writes.clear();
        const TKey_Macro_Run run = Run_Key_Macro(state, "KEY", c.Macro);
        EXPECT_EQ(Sent(), c.Sent);
        EXPECT_EQ(run.Summary, c.Summary);
    }
    EXPECT_TRUE(feedback.Messages.empty()) << "no message box for a key's macro";
}

}  // namespace
}  // namespace qev::test
