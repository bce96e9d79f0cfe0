// Binding the port library: loading, empty slots, release, port preparation.
#include "harness/fake_port.h"
#include "irport/port_library.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace qev {
namespace {

using test::TFake_Counter;
using test::TFake_Port;

TEST(Port_Library, A_Missing_Library_Leaves_Every_Slot_Empty) {
    TPort_Library port;
    EXPECT_EQ(port.Load_Port_Library("libqev-no-such-port-library.so"), 1);
    EXPECT_FALSE(port.Loaded());
    EXPECT_EQ(port.Functions().PortOut, nullptr);
    EXPECT_EQ(port.Functions().PortIn, nullptr);
    // Calls through empty slots are harmless: writes vanish, reads are idle.
    port.Port_Out(0x378, 0xFF);
    EXPECT_EQ(port.Port_In(0x379), 0);
    port.Prepare_Port(0x378);
    EXPECT_EQ(port.Unload_Port_Library(), 0);
}

TEST(Port_Library, Preparing_Clears_Only_The_Direction_Bit_And_Turns_The_LED_Off) {
    struct Row {
        const char* name;
        uint8_t control_before;
        uint8_t control_after;
    };
    for (const Row& row : {Row{"bidirectional input", 0x2C, 0x0C}, Row{"already output", 0x0C, 0x0C},
                           Row{"all bits set", 0xFF, 0xDF}, Row{"no bits", 0x00, 0x00}}) {
        SCOPED_TRACE(row.name);
        TFake_Counter counter;
        TFake_Port fake(counter);
        TPort_Library port;
        port.Set_Function_Table(TFake_Port::Table());
        fake.Registers[0x3BE] = row.control_before;
        fake.Registers[0x3BC] = 0x00;
        port.Prepare_Port(0x3BC);
        EXPECT_EQ(fake.Registers[0x3BE], row.control_after);
        EXPECT_EQ(fake.Registers[0x3BC], 0xFE);
    }
}

TEST(Port_Library, Without_PortIn_The_Control_Register_Is_Left_Alone) {
    TFake_Counter counter;
    TFake_Port fake(counter);
    TPort_Library port;
    port.Set_Function_Table(TFake_Port::Table(true, false));
    fake.Registers[0x37A] = 0x2C;
    port.Prepare_Port(0x378);
    EXPECT_EQ(fake.Registers[0x37A], 0x2C);
    EXPECT_EQ(fake.Registers[0x378], 0xFE);
}

// The folder of this test binary, where libio.so and the partial port libraries are built.
std::string Bin() { return std::filesystem::read_symlink("/proc/self/exe").parent_path().string(); }

TEST(Port_Library, Says_In_One_Line_What_A_Library_Leaves_Undone) {
    test::TTemp_Dir dir;
    test::Write_File(dir.File("libio.so"), "not a shared library\n");
    struct Row {
        const char* name;
        std::string path;
        int loaded;
        const char* problem;  // the line, up to the loader's words; "" for none
        const char* tail;     // how the line ends
    };
    const std::vector<Row> rows = {
        {"missing", dir.File("none/libio.so"), 1, "could not be loaded (", "): sending and learning are off"},
        {"not_a_shared_library", dir.File("libio.so"), 1, "could not be loaded (", "): sending and learning are off"},
        {"without_port_in", Bin() + "/only_port_out/libio.so", 0, "has no PortIn: learning is off, sending works", ""},
        {"without_port_out", Bin() + "/only_port_in/libio.so", 0, "has no PortOut: sending is off, learning works", ""},
        {"the_real_one", Bin() + "/libio.so", 0, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TPort_Library port;
        EXPECT_EQ(port.Load_Port_Library(row.path.c_str()), row.loaded);
        const std::string line = Port_Library_Problem(port, "libio.so");
        if (*row.problem == '\0') {
            EXPECT_EQ(line, "");
            continue;
        }
        EXPECT_EQ(line.rfind(std::string("the port library libio.so ") + row.problem, 0), 0u) << line;
        EXPECT_TRUE(line.ends_with(row.tail)) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
        if (row.loaded != 0) {
            EXPECT_NE(line.find(row.path), std::string::npos) << "the loader names the file: " << line;
        }
        // Whatever is missing is never called.
        port.Port_Out(0x378, 0xFF);
        EXPECT_EQ(port.Port_In(0x379), 0);
    }
}

// The description is optional: a library without IoPortDescription still
// loads and works, and names its backend instead, or says "unknown".
TEST(Port_Library, Describes_The_Port_As_The_Library_Can) {
    struct Row {
        const char* name;
        std::string path;
        std::optional<std::string> backend;  // IO_BACKEND as the library loads
        int loaded;
        const char* description;
    };
    const std::vector<Row> rows = {
        {"the_real_one", Bin() + "/libio.so", "sim", 0, "simulated port"},
        // /dev/null is no ppdev device: the automatic choice falls back and says so.
        {"the_real_one_fallen_back", Bin() + "/libio.so", std::nullopt, 0,
         "simulated port (/dev/null: not a ppdev device)"},
        {"from_before_the_description", Bin() + "/before_description/libio.so", "sim", 0, "sim"},
        {"with_neither_description_nor_backend_name", Bin() + "/only_port_out/libio.so", "sim", 0, "unknown"},
        {"missing", Bin() + "/none/libio.so", "sim", 1, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TEnv_Guard backend{"IO_BACKEND", row.backend};
        test::TEnv_Guard device{"IO_DEVICE", "/dev/null"};
        TPort_Library port;
        ASSERT_EQ(port.Load_Port_Library(row.path.c_str()), row.loaded) << port.Load_Error();
        EXPECT_EQ(port.Port_Description(), row.description);
        if (row.loaded == 0) {
            EXPECT_EQ(port.Unload_Port_Library(), 0);
            EXPECT_EQ(port.Port_Description(), "") << "nothing is said once the library is released";
        }
    }
}

TEST(Port_Library, A_Table_Set_By_Hand_Has_No_Description) {
    TFake_Counter counter;
    TFake_Port fake(counter);
    TPort_Library port;
    port.Set_Function_Table(TFake_Port::Table());
    EXPECT_EQ(port.Port_Description(), "");
}

TEST(Port_Library, A_Table_Set_By_Hand_Counts_As_Loaded) {
    TFake_Counter counter;
    TFake_Port fake(counter);
    TPort_Library port;
    port.Set_Function_Table(TFake_Port::Table());
    EXPECT_EQ(Port_Library_Problem(port, "libio.so"), "");
    port.Set_Function_Table({});
    EXPECT_EQ(Port_Library_Problem(port, "libio.so"),
              "the port library libio.so has neither PortOut nor PortIn: sending and learning are off");
}

}  // namespace
}  // namespace qev
