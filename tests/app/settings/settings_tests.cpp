// Settings values, the Settings file's location and its reading and writing.
#include "app/settings/settings.h"
#include "app/settings/settings_file.h"
#include "tests/support/temp_env.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <vector>

namespace qev {
namespace {

using test::File_Exists;
using test::Give_To_Test_User;
using test::Read_File;
using test::Run_Unprivileged;
using test::TEnv_Guard;
using test::TTemp_Dir;
using test::Write_File;

TEST(Ini_Integer, Parses_Decimal_And_Hexadecimal_Forms) {
    struct Row {
        const char* name;
        const char* text;
        int32_t expected;
    };
    const int32_t d = 256;
    const std::vector<Row> rows = {
        {"decimal", "32", 32},
        {"negative decimal", "-5", -5},
        {"plus sign", "+7", 7},
        {"0x prefix", "0x20", 32},
        {"0X prefix", "0X1f", 31},
        {"dollar prefix", "$1F", 31},
        {"signed hexadecimal", "-$10", -16},
        {"surrounding blanks", "  42 ", 42},
        {"smallest int", "-2147483648", INT_MIN},
        {"all 32 hex bits", "$FFFFFFFF", -1},
        {"letters", "abc", d},
        {"empty", "", d},
        {"trailing text", "12abc", d},
        {"prefix without digits", "0x", d},
        {"decimal overflow", "2147483648", d},
        {"hexadecimal overflow", "0x100000000", d},
        {"inner blank", "1 2", d},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Parse_Ini_Integer(row.text, d), row.expected);
    }
}

TEST(Base_Address, Follows_The_Literal_0x_Rule) {
    struct Row {
        const char* name;
        const char* text;
        int32_t expected;
    };
    const std::vector<Row> rows = {
        {"second port", "0x3BC", 0x3BC},
        {"any parsed value", "0x278", 0x278},
        {"lower-case digits", "0x3bc", 0x3BC},
        {"no 0x", "888", 0x378},
        {"empty", "", 0x378},
        {"upper-case X is not the literal", "0X3BC", 0x378},
        {"trailing text ignored", "0x3BCzz", 0x3BC},
        {"blank after 0x skipped", "0x 3BC", 0x3BC},
        {"second prefix accepted", "0x0x3BC", 0x3BC},
        {"no digit", "0xg", 0x378},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Parse_Base_Address(row.text), row.expected);
    }
}

TEST(Base_Address, Is_Written_With_Three_Upper_Case_Digits_At_Least) {
    EXPECT_EQ(Format_Base_Address(0x378), "0x378");
    EXPECT_EQ(Format_Base_Address(0x3bc), "0x3BC");
    EXPECT_EQ(Format_Base_Address(0x10), "0x010");
    EXPECT_EQ(Format_Base_Address(0x12345), "0x12345");
}

TEST(Settings_Location, Is_Named_After_The_Executable_In_The_Profile_Folder) {
    EXPECT_EQ(Settings_File_Path("/home/u", "/opt/qev/QEV_LPT"), "/home/u/QEV_LPT.INI");
    EXPECT_EQ(Settings_File_Path("/home/u/", "/opt/qev/QEV_LPT.exe"), "/home/u/QEV_LPT.INI");
    EXPECT_EQ(Settings_File_Path("/home/u", "/opt/qev/Living_Room"), "/home/u/Living_Room.INI");
}

TEST(Settings_Location, A_Link_To_The_Program_Keeps_Its_Own_Name) {
    TTemp_Dir dir;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::filesystem::create_symlink(self, dir.File("Kitchen"));
    std::filesystem::create_symlink("/bin/sh", dir.File("Other"));
    EXPECT_EQ(Started_Executable_Path(dir.File("Kitchen").c_str()), dir.File("Kitchen"));
    EXPECT_EQ(Started_Executable_Path(dir.File("Other").c_str()), self) << "a name of another program";
    EXPECT_EQ(Started_Executable_Path(dir.File("missing").c_str()), self);
    EXPECT_EQ(Started_Executable_Path(nullptr), self);
    {
        TEnv_Guard path("PATH", "/nonexistent-qev:" + dir.Path());
        EXPECT_EQ(Started_Executable_Path("Kitchen"), dir.File("Kitchen")) << "a bare name is looked up along PATH";
    }
    EXPECT_EQ(Settings_File_Path("/home/u", Started_Executable_Path(dir.File("Kitchen").c_str())),
              "/home/u/Kitchen.INI");
}

TEST(Settings_Location, Profile_Is_USERPROFILE_Else_HOME) {
    {
        TEnv_Guard user("USERPROFILE", "/profile");
        TEnv_Guard home("HOME", "/home/x");
        EXPECT_EQ(Profile_Folder().value_or("-"), "/profile");
    }
    {
        TEnv_Guard user("USERPROFILE", std::nullopt);
        TEnv_Guard home("HOME", "/home/x");
        EXPECT_EQ(Profile_Folder().value_or("-"), "/home/x");
    }
    {
        TEnv_Guard user("USERPROFILE", "");
        TEnv_Guard home("HOME", "/home/x");
        EXPECT_EQ(Profile_Folder().value_or("-"), "/home/x");
    }
    {
        TEnv_Guard user("USERPROFILE", std::nullopt);
        TEnv_Guard home("HOME", std::nullopt);
        EXPECT_FALSE(Profile_Folder().has_value());
    }
}

class Settings_File_Test : public ::testing::Test {
protected:
    TTemp_Dir dir;
    std::string path = dir.File("QEV_LPT.INI");
    TSettings settings;
    std::vector<int32_t> bases;

    void Read() {
        TIni_File file(path);
        Read_Settings(file, settings, "/profile", [this](int32_t base) {
            bases.push_back(base);
            // The port is prepared before the keys after Base_Address are read.
            EXPECT_TRUE(settings.RMT_DIR.empty());
        });
    }
};

TEST_F(Settings_File_Test, Missing_File_Gives_Every_Default) {
    Read();
    EXPECT_EQ(settings.BACK_IMAGE, "");
    EXPECT_EQ(settings.BUTTON_TRANSPARENCY, "NO");
    EXPECT_EQ(settings.TRANSPARENCY_MODE, 1);
    EXPECT_EQ(settings.MAX_RMTCMD_NUM, 256);
    EXPECT_EQ(settings.REPEAT, 1);
    EXPECT_EQ(settings.MAX_RMTCMD_BIT_LENGTH, 1024);
    EXPECT_EQ(settings.MIN_LEADER_LENGTH, 8);
    EXPECT_EQ(settings.DEV_LEADER_LENGTH, 2);
    EXPECT_EQ(settings.Base_Address, 0x378);
    EXPECT_EQ(settings.RMT_DIR, "/profile");
    EXPECT_EQ(settings.RMT_FILE, "");
    EXPECT_EQ(settings.PORT, 9999);
    EXPECT_EQ(settings.STARTUP, 0);
    EXPECT_EQ(settings.ECHO, 1);
    EXPECT_EQ(settings.LIRC_ENABLE, 0);
    EXPECT_EQ(settings.LIRC_PORT, 8765);
    EXPECT_EQ(settings.LIRC_SOCKET, "");
    EXPECT_EQ(bases, std::vector<int32_t>{0x378});
}

TEST_F(Settings_File_Test, Values_Are_Read_As_Stored) {
    Write_File(path,
               "; written by hand\n"
               "[form]\nbutton_transparency=yes\nTRANSPARENCY_MODE=0\n"
               "[COMMAND]\nMAX_RMTCMD_NUM=0x20\nREPEAT=abc\n"
               "[LPT]\nBase_Address=0x3BC\n"
               "[DIR]\nRMT_DIR=\nRMT_FILE=/x/y.rmt\n"
               "[SERVER]\nSTARTUP=1\n");
    Read();
    EXPECT_EQ(settings.BUTTON_TRANSPARENCY, "YES");
    EXPECT_TRUE(settings.See_Through());
    EXPECT_EQ(settings.TRANSPARENCY_MODE, 0);
    EXPECT_EQ(settings.MAX_RMTCMD_NUM, 32);
    EXPECT_EQ(settings.REPEAT, 1);
    EXPECT_EQ(settings.RMT_DIR, "");
    EXPECT_EQ(settings.RMT_FILE, "/x/y.rmt");
    EXPECT_EQ(settings.STARTUP, 1);
    EXPECT_EQ(bases, std::vector<int32_t>{0x3BC});
}

TEST_F(Settings_File_Test, Other_Transparency_Words_Are_Kept_Upper_Cased_And_Mean_Off) {
    Write_File(path, "[FORM]\nBUTTON_TRANSPARENCY=on\n");
    Read();
    EXPECT_EQ(settings.BUTTON_TRANSPARENCY, "ON");
    EXPECT_FALSE(settings.See_Through());
}

TEST_F(Settings_File_Test, Writing_Produces_All_Twenty_Keys_In_Order) {
    settings.RMT_DIR = "/profile";
    settings.BUTTON_TRANSPARENCY = "YES";
    settings.Base_Address = 0x3bc;
    TIni_File file(path);
    ASSERT_TRUE(Write_Settings(file, settings));
    const std::string first = Read_File(path);
    EXPECT_EQ(first,
              "[FORM]\nBACK_IMAGE=\nBUTTON_TRANSPARENCY=YES\nTRANSPARENCY_MODE=1\n"
              "[COMMAND]\nMAX_RMTCMD_NUM=256\nREPEAT=1\n"
              "[WAVEFORM]\nMAX_RMTCMD_BIT_LENGTH=1024\nMIN_LEADER_LENGTH=8\nDEV_LEADER_LENGTH=2\nCARRIER=0\nTOGGLE=0\n"
              "[LPT]\nBase_Address=0x3BC\n"
              "[DIR]\nRMT_DIR=/profile\nRMT_FILE=\n"
              "[SERVER]\nPORT=9999\nSTARTUP=0\nECHO=1\n"
              "[LIRC]\nENABLE=0\nPORT=8765\nSOCKET=\n"
              "[LISTEN]\nENABLE=0\n");
    ASSERT_TRUE(Write_Settings(file, settings));
    EXPECT_EQ(Read_File(path), first) << "a second shutdown must not change the file";
}

TEST_F(Settings_File_Test, Writing_Keeps_Comments_Other_Keys_And_Key_Spelling) {
    Write_File(path, "; my settings\n[server]\nport=1234\nNOTE=keep me\n");
    TIni_File file(path);
    ASSERT_TRUE(file.Write_Integer("SERVER", "PORT", 4321));
    const std::string text = Read_File(path);
    EXPECT_NE(text.find("; my settings"), std::string::npos);
    EXPECT_NE(text.find("port=4321"), std::string::npos);
    EXPECT_NE(text.find("NOTE=keep me"), std::string::npos);
    EXPECT_EQ(file.Read_Integer("Server", "Port", 0), 4321);
}

TEST_F(Settings_File_Test, Written_Settings_Read_Back_Unchanged) {
    settings.BACK_IMAGE = "/pictures/remote face.bmp";
    settings.TRANSPARENCY_MODE = 0;
    settings.MAX_RMTCMD_NUM = 32;
    settings.REPEAT = 3;
    settings.MAX_RMTCMD_BIT_LENGTH = 2048;
    settings.MIN_LEADER_LENGTH = 12;
    settings.DEV_LEADER_LENGTH = 0;
    settings.Base_Address = 0x278;
    settings.RMT_DIR = "/data/ir";
    settings.RMT_FILE = "/data/ir/tv.rmt";
    settings.PORT = 10001;
    settings.TOGGLE = 1;
    settings.LISTEN_ENABLE = 1;
    settings.STARTUP = 1;
    settings.ECHO = 0;
    settings.LIRC_ENABLE = 1;
    settings.LIRC_PORT = 18765;
    settings.LIRC_SOCKET = "/run/user/1000/lircd";
    TSettings written = settings;
    TIni_File file(path);
    ASSERT_TRUE(Write_Settings(file, settings));
    settings = TSettings{};
    Read();
    EXPECT_TRUE(settings == written) << Read_File(path);
}

TEST_F(Settings_File_Test, The_Keys_Are_Read_And_Written_In_One_Order) {
    std::vector<std::string> names;
    for (const TSettings_Key& key : Settings_Keys) names.push_back(std::string(key.Section) + "." + key.Key);
    EXPECT_EQ(names, (std::vector<std::string>{"FORM.BACK_IMAGE",
                                               "FORM.BUTTON_TRANSPARENCY",
                                               "FORM.TRANSPARENCY_MODE",
                                               "COMMAND.MAX_RMTCMD_NUM",
                                               "COMMAND.REPEAT",
                                               "WAVEFORM.MAX_RMTCMD_BIT_LENGTH",
                                               "WAVEFORM.MIN_LEADER_LENGTH",
                                               "WAVEFORM.DEV_LEADER_LENGTH",
                                               "WAVEFORM.CARRIER",
                                               "WAVEFORM.TOGGLE",
                                               "LPT.Base_Address",
                                               "DIR.RMT_DIR",
                                               "DIR.RMT_FILE",
                                               "SERVER.PORT",
                                               "SERVER.STARTUP",
                                               "SERVER.ECHO",
                                               "LIRC.ENABLE",
                                               "LIRC.PORT",
                                               "LIRC.SOCKET",
                                               "LISTEN.ENABLE"}));
}

TEST_F(Settings_File_Test, A_Start_And_A_Shutdown_Keep_A_Hand_Written_File_Byte_For_Byte) {
    const std::string hand_written =
        "; QEV_LPT settings, kept by hand\r\n"
        "[FORM]\r\n"
        "BACK_IMAGE = /pictures/face.bmp\r\n"
        "BUTTON_TRANSPARENCY=YES\r\n"
        "TRANSPARENCY_MODE=0\r\n"
        "COLOUR_NOTE=warm   \r\n"
        "\r\n"
        "; the remote in the kitchen\r\n"
        "[COMMAND]\r\n"
        "MAX_RMTCMD_NUM=256\r\n"
        "REPEAT=1\r\n"
        "a line without an equals sign\r\n"
        "[WAVEFORM]\n"  // one line with LF alone
        "MAX_RMTCMD_BIT_LENGTH=1024\r\n"
        "MIN_LEADER_LENGTH=8\r\n"
        "DEV_LEADER_LENGTH=2\r\n"
        "CARRIER=0\r\n"
        "TOGGLE=0\r\n"
        "[LPT]\r\n"
        "Base_Address=0x378\r\n"
        "[DIR]\r\n"
        "RMT_DIR=/data/ir\r\n"
        "RMT_FILE=\r\n"
        "[SERVER]\r\n"
        "PORT=9999\r\n"
        "STARTUP=0\r\n"
        "ECHO=1\r\n"
        "; irsend -a 127.0.0.1:8765 SEND_ONCE tv POWER\r\n"
        "[lirc]\r\n"
        "  enable = 1  \r\n"
        "Port=18765\r\n"
        "; irw $XDG_RUNTIME_DIR/lircd\r\n"
        "Socket = lircd\r\n"
        "[LISTEN]\r\n"
        "ENABLE=0\r\n";
    Write_File(path, hand_written);
    Read();
    TIni_File file(path);
    ASSERT_TRUE(Write_Settings(file, settings));
    EXPECT_EQ(Read_File(path), hand_written);
}

// A file whose lines end in CR alone reads as the lines it holds (not as
// one long line that gives every default), and the shutdown's writes keep
// it a file of CR line ends that reads back the same.
TEST_F(Settings_File_Test, A_File_With_CR_Line_Ends_Reads_And_Stays_So) {
    const std::string cr_only = "; by an old editor\r[COMMAND]\rMAX_RMTCMD_NUM=32\rREPEAT=3\r[SERVER]\rPORT=1234\r";
    Write_File(path, cr_only);
    Read();
    EXPECT_EQ(settings.MAX_RMTCMD_NUM, 32);
    EXPECT_EQ(settings.REPEAT, 3);
    EXPECT_EQ(settings.PORT, 1234);
    settings.REPEAT = 5;
    TIni_File file(path);
    ASSERT_TRUE(Write_Settings(file, settings));
    const std::string written = Read_File(path);
    EXPECT_EQ(written.find('\n'), std::string::npos) << "every added line ends in CR too";
    EXPECT_EQ(written.substr(0, 59), "; by an old editor\r[COMMAND]\rMAX_RMTCMD_NUM=32\rREPEAT=5\r[SE");
    const TSettings expected = settings;
    settings = TSettings{};
    Read();
    EXPECT_EQ(settings, expected);
}

TEST_F(Settings_File_Test, The_LIRC_Section_Reads_Like_The_Others) {
    struct Row {
        const char* name;
        const char* text;
        int32_t enable;
        int32_t port;
        const char* socket = "";
    };
    const std::vector<Row> rows = {
        {"absent", "[SERVER]\nPORT=1234\n", 0, 8765},
        {"enabled", "[LIRC]\nENABLE=1\nPORT=18765\n", 1, 18765},
        {"any_case_and_blanks", "[ lirc ]\n Enable = 2 \nport=$2000\n", 2, 0x2000},
        {"not_numbers", "[LIRC]\nENABLE=yes\nPORT=lircd\n", 0, 8765},
        {"server_port_is_another_key", "[SERVER]\nPORT=1234\n[LIRC]\nENABLE=1\n", 1, 8765},
        {"kept_out_of_range", "[LIRC]\nPORT=70000\n", 0, 70000},
        {"socket_relative", "[LIRC]\nSOCKET=lircd\n", 0, 8765, "lircd"},
        {"socket_absolute_with_a_blank", "[LIRC]\nsocket = /run/user/1000/my lircd \n", 0, 8765,
         "/run/user/1000/my lircd"},
        {"socket_without_enable", "[LIRC]\nENABLE=0\nSOCKET=/tmp/lircd\n", 0, 8765, "/tmp/lircd"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Write_File(path, row.text);
        settings = TSettings{};
        Read();
        EXPECT_EQ(settings.LIRC_ENABLE, row.enable);
        EXPECT_EQ(settings.LIRC_PORT, row.port);
        EXPECT_EQ(settings.LIRC_SOCKET, row.socket);
    }
}

TEST_F(Settings_File_Test, A_File_From_Before_The_LIRC_Section_Gains_It_At_The_End_And_Nothing_Else_Changes) {
    struct Row {
        const char* name;
        std::string before;
        std::string added;
    };
    const std::vector<Row> rows = {
        {"lf", "; old\n[SERVER]\nPORT=9999\nSTARTUP=0\nECHO=1\n",
         "[LIRC]\nENABLE=0\nPORT=8765\nSOCKET=\n[LISTEN]\nENABLE=0\n"},
        {"cr_lf", "[SERVER]\r\nPORT=9999\r\nSTARTUP=0\r\nECHO=1\r\n",
         "[LIRC]\r\nENABLE=0\r\nPORT=8765\r\nSOCKET=\r\n[LISTEN]\r\nENABLE=0\r\n"},
        {"no_final_line_end", "[SERVER]\nPORT=9999\nSTARTUP=0\nECHO=1",
         "\n[LIRC]\nENABLE=0\nPORT=8765\nSOCKET=\n[LISTEN]\nENABLE=0\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // Every other key as a start reads it, so only [LIRC] and [LISTEN]
        // are new.
        const std::string others =
            "[FORM]\nBACK_IMAGE=\nBUTTON_TRANSPARENCY=NO\nTRANSPARENCY_MODE=1\n[COMMAND]\nMAX_RMTCMD_NUM=256\n"
            "REPEAT=1\n[WAVEFORM]\nMAX_RMTCMD_BIT_LENGTH=1024\nMIN_LEADER_LENGTH=8\nDEV_LEADER_LENGTH=2\nCARRIER="
            "0\nTOGGLE=0\n["
            "LPT]\n"
            "Base_Address=0x378\n[DIR]\nRMT_DIR=/profile\nRMT_FILE=\n";
        const std::string eol = row.name == std::string("cr_lf") ? "\r\n" : "\n";
        std::string head = others;
        for (std::size_t at = 0; eol == "\r\n" && (at = head.find('\n', at)) != std::string::npos; at += 2)
            head.replace(at, 1, "\r\n");
        Write_File(path, head + row.before);
        settings = TSettings{};
        Read();
        EXPECT_EQ(settings.LIRC_ENABLE, 0);
        EXPECT_EQ(settings.LIRC_PORT, 8765);
        TIni_File file(path);
        ASSERT_TRUE(Write_Settings(file, settings));
        EXPECT_EQ(Read_File(path), head + row.before + row.added);
    }
}

TEST_F(Settings_File_Test, A_Write_Protected_File_Refuses_The_Shutdown) {
    Write_File(path, "[COMMAND]\nREPEAT=1\n");
    Give_To_Test_User(dir.Path());
    Give_To_Test_User(path);
    ::chmod(path.c_str(), 0444);
    const int result = Run_Unprivileged([&] {
        TIni_File file(path);
        TSettings same;
        const bool written = Write_Settings(file, same);
        return written ? 1 : (file.Last_Error() == EACCES ? 0 : 2);
    });
    EXPECT_EQ(result, 0) << "the write must fail, even for values that are already there";
    EXPECT_EQ(Read_File(path), "[COMMAND]\nREPEAT=1\n");
}

TEST_F(Settings_File_Test, A_Refused_Write_Reports_Failure_And_Leaves_No_Debris) {
    std::filesystem::create_directory(path);  // a folder where the file should be
    TIni_File file(path);
    EXPECT_FALSE(Write_Settings(file, settings));
    std::size_t entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.Path())) entries += e.path() != path;
    EXPECT_EQ(entries, 0u) << "temporary file left behind";
}

}  // namespace
}  // namespace qev
