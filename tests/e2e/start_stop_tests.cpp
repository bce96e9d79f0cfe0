// The real program, started and stopped as a user or a desktop session does.
#include "tests/e2e/program_runner.h"
#include "tests/support/temp_env.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>

#include <filesystem>
#include <memory>
#include <vector>

namespace qev::test {
namespace {

std::string Program() { return Binary_Folder() + "/QEV_LPT"; }

TEST(Program, First_Run_Writes_Every_Setting_With_Its_Default) {
    TTemp_Dir profile;
    TProgram_Runner program(Program(), profile.Path());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    EXPECT_EQ(program.Terminate(), 0);
    const std::string ini = Read_File(profile.File("QEV_LPT.INI"));
    for (const std::string& line : std::vector<std::string>{"[FORM]",
                                                            "BACK_IMAGE=",
                                                            "BUTTON_TRANSPARENCY=NO",
                                                            "TRANSPARENCY_MODE=1",
                                                            "[COMMAND]",
                                                            "MAX_RMTCMD_NUM=256",
                                                            "REPEAT=1",
                                                            "[WAVEFORM]",
                                                            "MAX_RMTCMD_BIT_LENGTH=1024",
                                                            "MIN_LEADER_LENGTH=8",
                                                            "DEV_LEADER_LENGTH=2",
                                                            "CARRIER=0",
                                                            "TOGGLE=0",
                                                            "[LPT]",
                                                            "Base_Address=0x378",
                                                            "[DIR]",
                                                            "RMT_DIR=" + profile.Path(),
                                                            "RMT_FILE=",
                                                            "[SERVER]",
                                                            "PORT=9999",
                                                            "STARTUP=0",
                                                            "ECHO=1"}) {
        EXPECT_NE(ini.find(line + "\n"), std::string::npos) << line << " missing from\n" << ini;
    }
}

TEST(Program, A_Command_File_Repetition_Count_Survives_In_The_Settings) {
    TTemp_Dir profile;
    Write_File(profile.File("tv.rmt"), "@REPEAT = 3\r\nPOWER,FF,00\r\n");
    Write_File(profile.File("QEV_LPT.INI"), "[DIR]\nRMT_FILE=" + profile.File("tv.rmt") + "\n[SERVER]\nSTARTUP=0\n");
    TProgram_Runner program(Program(), profile.Path());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    EXPECT_EQ(program.Terminate(), 0);
    const std::string ini = Read_File(profile.File("QEV_LPT.INI"));
    EXPECT_NE(ini.find("REPEAT=3\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("RMT_FILE=" + profile.File("tv.rmt") + "\n"), std::string::npos) << ini;
}

TEST(Program, A_Folder_Named_As_Command_File_Is_Refused_And_Changes_Nothing) {
    TTemp_Dir profile;
    std::filesystem::create_directories(profile.File("ir/folder.rmt"));
    Write_File(profile.File("QEV_LPT.INI"),
               "[COMMAND]\nREPEAT=2\n[DIR]\nRMT_DIR=/elsewhere\nRMT_FILE=" + profile.File("ir/folder.rmt") + "\n");
    TProgram_Runner program(Program(), profile.Path());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    // "Can't Open File" waits for a person; SIGTERM answers it and closes.
    EXPECT_EQ(program.Terminate(), 0);
    const std::string ini = Read_File(profile.File("QEV_LPT.INI"));
    EXPECT_NE(ini.find("RMT_DIR=/elsewhere\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("REPEAT=2\n"), std::string::npos) << ini;
}

TEST(Program, An_Unreadable_Background_Ends_Start_Up_And_Leaves_The_Settings_Alone) {
    TTemp_Dir profile;
    const std::string settings = "[FORM]\nBACK_IMAGE=" + profile.File("gone.bmp") + "\n";
    Write_File(profile.File("QEV_LPT.INI"), settings);
    TProgram_Runner program(Program(), profile.Path());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    // The message box waits for a person; SIGTERM answers it, and start-up
    // then ends the program as OK would.
    EXPECT_EQ(program.Terminate(), 1);
    EXPECT_EQ(Read_File(profile.File("QEV_LPT.INI")), settings);
}

TEST(Program, Another_Executable_Name_Uses_Its_Own_Settings_File) {
    TTemp_Dir profile;
    const std::string other = Binary_Folder() + "/Living_Room_e2e";
    std::filesystem::remove(other);
    std::filesystem::create_hard_link(Program(), other);
    const std::unique_ptr<const std::string, void (*)(const std::string*)> remove_link(
        &other, [](const std::string* path) { std::filesystem::remove(*path); });
    TProgram_Runner program(other, profile.Path());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    EXPECT_EQ(program.Terminate(), 0);
    EXPECT_TRUE(File_Exists(profile.File("Living_Room_e2e.INI")));
    EXPECT_FALSE(File_Exists(profile.File("QEV_LPT.INI")));
}

TEST(Program, A_Link_To_The_Program_Keeps_Its_Own_Settings_File) {
    TTemp_Dir profile;
    const std::string link = profile.File("Kitchen");
    std::filesystem::create_symlink(Program(), link);
    TProgram_Runner program(link, profile.Path());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    EXPECT_EQ(program.Terminate(), 0);
    EXPECT_TRUE(File_Exists(profile.File("Kitchen.INI")));
    EXPECT_FALSE(File_Exists(profile.File("QEV_LPT.INI")));
}

// The program and its port library, copied where an ordinary user may run
// them, whatever the build folder's permissions.
std::string Copy_Program_For_Anyone(const TTemp_Dir& folder) {
    for (const char* file : {"QEV_LPT", "libio.so"})
        std::filesystem::copy_file(Binary_Folder() + "/" + file, folder.File(file));
    Give_To_Test_User(folder.Path());
    return folder.File("QEV_LPT");
}

TEST(Program, A_Write_Protected_Settings_File_Keeps_It_Open_Until_A_Close_Succeeds) {
    TTemp_Dir profile, programs;
    const std::string executable = Copy_Program_For_Anyone(programs);
    const std::string ini = profile.File("QEV_LPT.INI");
    const std::string settings = "; kept by hand\n[COMMAND]\nREPEAT=1\n";
    Write_File(ini, settings);
    Give_To_Test_User(profile.Path());
    Give_To_Test_User(ini);
    ::chmod(ini.c_str(), 0444);
    TProgram_Runner program(executable, profile.Path());
    program.Ordinary_User = true;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    // The refused write leaves the window open (with its message box); a
    // program that closed anyway would be gone well within these seconds.
    ::kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.Wait_For_Exit(3), -1) << "the program closed although its Settings file refused the write";
    EXPECT_EQ(Read_File(ini), settings);
    // Once the file may be written, the next close answers the box and succeeds.
    ::chmod(ini.c_str(), 0644);
    EXPECT_EQ(program.Terminate(), 0);
    const std::string written = Read_File(ini);
    EXPECT_EQ(written.rfind("; kept by hand\n[COMMAND]\nREPEAT=1\n", 0), 0u) << written;
    EXPECT_NE(written.find("ECHO=1\n"), std::string::npos) << written;
}

TEST(Program, Without_A_Profile_Folder_It_Ends_At_Once) {
    TTemp_Dir profile;
    TProgram_Runner program(Program(), profile.Path());
    program.Environment["HOME"] = "";
    program.Environment["USERPROFILE"] = "";
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Wait_Until_Ready());
    EXPECT_EQ(program.Terminate(), 1);
    EXPECT_FALSE(File_Exists(profile.File("QEV_LPT.INI")));
}

}  // namespace
}  // namespace qev::test
