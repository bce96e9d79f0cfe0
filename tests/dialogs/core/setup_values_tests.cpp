// The setup dialog's values without a window: what it shows, the spinner
// ranges, the order of OK's stores and the Browse buttons' requests.
#include "dialogs/core/setup_values.h"
#include "harness/fake_counter.h"
#include "harness/priority_recorder.h"
#include "harness/recording_feedback.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace qev::test {
namespace {

// A view that also keeps a copy of the Settings at each of its calls.
class TSnapshot_View : public TRecording_Feedback {
public:
    const TSettings* Settings = nullptr;
    std::vector<TSettings> At_Apply_Background;
    std::vector<TSettings> At_Map_Keys;

    int Apply_Background() override {
        At_Apply_Background.push_back(*Settings);
        return TRecording_Feedback::Apply_Background();
    }
    void Map_Keys() override {
        At_Map_Keys.push_back(*Settings);
        TRecording_Feedback::Map_Keys();
    }
};

class Setup_Values_Test : public ::testing::Test {
protected:
    TFake_Counter counter;
    TPriority_Recorder priority;
    TSnapshot_View view;
    TQEV_State state{counter, priority, view, view};

    void SetUp() override { view.Settings = &state.Settings; }
};

TEST(Setup_Ranges, Each_Number_Field_Has_Its_Range_And_Text_Fields_None) {
    struct Row {
        const char* name;
        TSetup_Field field;
        std::optional<TSetup_Range> range;
    };
    const std::vector<Row> rows = {
        {"back_image", TSetup_Field::BACK_IMAGE, std::nullopt},
        {"button_transparency", TSetup_Field::BUTTON_TRANSPARENCY, std::nullopt},
        {"transparency_mode", TSetup_Field::TRANSPARENCY_MODE, TSetup_Range{0, 1}},
        {"max_rmtcmd_num", TSetup_Field::MAX_RMTCMD_NUM, TSetup_Range{1, 32767}},
        {"repeat", TSetup_Field::REPEAT, TSetup_Range{1, 32767}},
        {"max_rmtcmd_bit_length", TSetup_Field::MAX_RMTCMD_BIT_LENGTH, TSetup_Range{1, 32767}},
        {"min_leader_length", TSetup_Field::MIN_LEADER_LENGTH, TSetup_Range{1, 32767}},
        {"dev_leader_length", TSetup_Field::DEV_LEADER_LENGTH, TSetup_Range{0, 32767}},
        {"rmt_dir", TSetup_Field::RMT_DIR, std::nullopt},
        {"rmt_file", TSetup_Field::RMT_FILE, std::nullopt},
        {"port", TSetup_Field::PORT, TSetup_Range{1024, 32767}},
        {"echo", TSetup_Field::ECHO, TSetup_Range{0, 1}},
        {"lirc_enable", TSetup_Field::LIRC_ENABLE, std::nullopt},
        {"lirc_port", TSetup_Field::LIRC_PORT, TSetup_Range{1024, 32767}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Setup_Range(row.field), row.range);
    }
}

TEST(Setup_Transparency, The_Box_Shows_NO_Only_For_NO_In_Any_Case) {
    struct Row {
        const char* name;
        const char* value;
        int item;
    };
    const std::vector<Row> rows = {
        {"upper_case_no", "NO", Transparency_No_Item},
        {"lower_case_no", "no", Transparency_No_Item},
        {"mixed_case_no", "nO", Transparency_No_Item},
        {"yes", "YES", Transparency_Yes_Item},
        {"on", "ON", Transparency_Yes_Item},
        {"empty", "", Transparency_Yes_Item},
        {"no_and_a_blank", "NO ", Transparency_Yes_Item},
        {"none", "NONE", Transparency_Yes_Item},
        {"letter_n", "N", Transparency_Yes_Item},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Transparency_Item(row.value), row.item);
    }
}

TEST(Setup_Transparency, Every_Selection_But_Item_0_Stores_YES) {
    struct Row {
        const char* name;
        int item;
        const char* value;
    };
    const std::vector<Row> rows = {{"item_no", Transparency_No_Item, "NO"},
                                   {"item_yes", Transparency_Yes_Item, "YES"},
                                   {"typed_text", Transparency_No_Selection, "YES"},
                                   {"an_item_beyond_the_list", 2, "YES"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Transparency_Value(row.item), row.value);
    }
}

TEST_F(Setup_Values_Test, Opening_Shows_The_Settings_Brought_Into_The_Spinner_Ranges) {
    struct Row {
        const char* name;
        int32_t TSettings::*setting;
        int32_t TSetup_Values::*shown;
        int32_t value;
        int32_t expected;
    };
    const std::vector<Row> rows = {
        {"port_below_the_range", &TSettings::PORT, &TSetup_Values::PORT, 80, 1024},
        {"port_in_the_range", &TSettings::PORT, &TSetup_Values::PORT, 9999, 9999},
        {"port_above_the_range", &TSettings::PORT, &TSetup_Values::PORT, 65535, 32767},
        {"mode_two", &TSettings::TRANSPARENCY_MODE, &TSetup_Values::TRANSPARENCY_MODE, 2, 1},
        {"mode_negative", &TSettings::TRANSPARENCY_MODE, &TSetup_Values::TRANSPARENCY_MODE, -1, 0},
        {"rows_zero", &TSettings::MAX_RMTCMD_NUM, &TSetup_Values::MAX_RMTCMD_NUM, 0, 1},
        {"rows_above_the_range", &TSettings::MAX_RMTCMD_NUM, &TSetup_Values::MAX_RMTCMD_NUM, 65535, 32767},
        {"repeat_negative", &TSettings::REPEAT, &TSetup_Values::REPEAT, -3, 1},
        {"repeat_in_the_range", &TSettings::REPEAT, &TSetup_Values::REPEAT, 3, 3},
        {"samples_above_the_range", &TSettings::MAX_RMTCMD_BIT_LENGTH, &TSetup_Values::MAX_RMTCMD_BIT_LENGTH, 1 << 20,
         32767},
        {"leader_zero", &TSettings::MIN_LEADER_LENGTH, &TSetup_Values::MIN_LEADER_LENGTH, 0, 1},
        {"tolerance_zero", &TSettings::DEV_LEADER_LENGTH, &TSetup_Values::DEV_LEADER_LENGTH, 0, 0},
        {"tolerance_negative", &TSettings::DEV_LEADER_LENGTH, &TSetup_Values::DEV_LEADER_LENGTH, -1, 0},
        {"echo_five", &TSettings::ECHO, &TSetup_Values::ECHO, 5, 1},
        {"echo_off", &TSettings::ECHO, &TSetup_Values::ECHO, 0, 0},
        {"lirc_port_default", &TSettings::LIRC_PORT, &TSetup_Values::LIRC_PORT, 8765, 8765},
        {"lirc_port_below_the_range", &TSettings::LIRC_PORT, &TSetup_Values::LIRC_PORT, 80, 1024},
        {"lirc_port_above_the_range", &TSettings::LIRC_PORT, &TSetup_Values::LIRC_PORT, 65535, 32767},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TSettings settings;
        settings.*row.setting = row.value;
        EXPECT_EQ(Setup_Values(settings).*row.shown, row.expected);
    }
}

// Fields that were never given a value hold the Settings record's defaults,
// and those lie within the spinners: a fresh record shows unchanged.
TEST(Setup_Defaults, Are_The_Settings_Defaults) {
    const TSetup_Values fresh;
    EXPECT_EQ(fresh, Setup_Values(TSettings{}));
    EXPECT_EQ(fresh.PORT, 9999);
    EXPECT_EQ(fresh.LIRC_PORT, 8765);
    EXPECT_EQ(fresh.BUTTON_TRANSPARENCY_Item, Transparency_No_Item);
}

TEST_F(Setup_Values_Test, Opening_Shows_The_Texts_As_They_Are) {
    TSettings settings;
    settings.BACK_IMAGE = " /pictures/リモコン.bmp ";
    settings.BUTTON_TRANSPARENCY = "on";
    settings.RMT_DIR = "";
    settings.RMT_FILE = "/home/user/tv.rmt";
    const TSetup_Values values = Setup_Values(settings);
    EXPECT_EQ(values.BACK_IMAGE, " /pictures/リモコン.bmp ");
    EXPECT_EQ(values.BUTTON_TRANSPARENCY_Item, Transparency_Yes_Item);
    EXPECT_EQ(values.RMT_DIR, "");
    EXPECT_EQ(values.RMT_FILE, "/home/user/tv.rmt");
}

TEST_F(Setup_Values_Test, The_Check_Boxes_Are_Ticked_For_Any_Enable_But_0_And_Store_1_Or_0) {
    struct Row {
        const char* name;
        int32_t setting;
        bool ticked;
        int32_t stored;
    };
    const std::vector<Row> rows = {
        {"off", 0, false, 0}, {"on", 1, true, 1}, {"two", 2, true, 1}, {"negative", -1, true, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state.Settings.LIRC_ENABLE = row.setting;
        state.Settings.LISTEN_ENABLE = row.setting;
        const TSetup_Values values = Setup_Values(state.Settings);
        EXPECT_EQ(values.LIRC_ENABLE, row.ticked);
        EXPECT_EQ(values.LISTEN_ENABLE, row.ticked);
        Setup_OK(values, state);
        EXPECT_EQ(state.Settings.LIRC_ENABLE, row.stored);
        EXPECT_EQ(state.Settings.LISTEN_ENABLE, row.stored);
    }
}

TEST_F(Setup_Values_Test, A_Port_Of_80_Is_Shown_And_Stored_As_1024) {
    state.Settings.PORT = 80;
    const TSetup_Values values = Setup_Values(state.Settings);
    EXPECT_EQ(values.PORT, 1024);
    Setup_OK(values, state);
    EXPECT_EQ(state.Settings.PORT, 1024);
}

// One setting as text, old and new, and whether the background and the keys
// already see its new value.
struct TOrder_Row {
    const char* name;
    std::function<std::string(const TSettings&)> read;
    bool before_the_background;
};

const std::vector<TOrder_Row> Order_Rows = {
    {"back_image", [](const TSettings& s) { return s.BACK_IMAGE; }, true},
    {"button_transparency", [](const TSettings& s) { return s.BUTTON_TRANSPARENCY; }, true},
    {"transparency_mode", [](const TSettings& s) { return std::to_string(s.TRANSPARENCY_MODE); }, true},
    {"max_rmtcmd_num", [](const TSettings& s) { return std::to_string(s.MAX_RMTCMD_NUM); }, false},
    {"repeat", [](const TSettings& s) { return std::to_string(s.REPEAT); }, false},
    {"max_rmtcmd_bit_length", [](const TSettings& s) { return std::to_string(s.MAX_RMTCMD_BIT_LENGTH); }, false},
    {"min_leader_length", [](const TSettings& s) { return std::to_string(s.MIN_LEADER_LENGTH); }, false},
    {"dev_leader_length", [](const TSettings& s) { return std::to_string(s.DEV_LEADER_LENGTH); }, false},
    {"rmt_dir", [](const TSettings& s) { return s.RMT_DIR; }, false},
    {"rmt_file", [](const TSettings& s) { return s.RMT_FILE; }, false},
    {"port", [](const TSettings& s) { return std::to_string(s.PORT); }, false},
    {"echo", [](const TSettings& s) { return std::to_string(s.ECHO); }, false},
    {"lirc_enable", [](const TSettings& s) { return std::to_string(s.LIRC_ENABLE); }, false},
    {"lirc_port", [](const TSettings& s) { return std::to_string(s.LIRC_PORT); }, false},
    {"listen_enable", [](const TSettings& s) { return std::to_string(s.LISTEN_ENABLE); }, false},
};

// Settings and dialog values that differ in every field.
TSettings Old_Settings() {
    TSettings settings;
    settings.BACK_IMAGE = "/old/back.bmp";
    settings.BUTTON_TRANSPARENCY = "YES";
    settings.TRANSPARENCY_MODE = 1;
    settings.MAX_RMTCMD_NUM = 256;
    settings.REPEAT = 1;
    settings.MAX_RMTCMD_BIT_LENGTH = 1024;
    settings.MIN_LEADER_LENGTH = 8;
    settings.DEV_LEADER_LENGTH = 2;
    settings.RMT_DIR = "/old";
    settings.RMT_FILE = "/old/tv.rmt";
    settings.PORT = 9999;
    settings.ECHO = 1;
    settings.LIRC_ENABLE = 0;
    settings.LIRC_PORT = 8765;
    settings.LISTEN_ENABLE = 0;
    return settings;
}

TSetup_Values New_Values() {
    TSetup_Values values;
    values.BACK_IMAGE = "/new/back.bmp";
    values.BUTTON_TRANSPARENCY_Item = Transparency_No_Item;
    values.TRANSPARENCY_MODE = 0;
    values.MAX_RMTCMD_NUM = 512;
    values.REPEAT = 3;
    values.MAX_RMTCMD_BIT_LENGTH = 2048;
    values.MIN_LEADER_LENGTH = 16;
    values.DEV_LEADER_LENGTH = 4;
    values.RMT_DIR = "/new";
    values.RMT_FILE = "/new/dvd.rmt";
    values.PORT = 20000;
    values.ECHO = 0;
    values.LIRC_ENABLE = true;
    values.LIRC_PORT = 18765;
    values.LISTEN_ENABLE = true;
    return values;
}

TEST_F(Setup_Values_Test, OK_Stores_The_Background_Fields_Applies_Them_And_Then_Stores_The_Rest) {
    const TSettings old_settings = Old_Settings();
    state.Settings = old_settings;
    Setup_OK(New_Values(), state);
    TSettings expected = old_settings;
    expected.BACK_IMAGE = "/new/back.bmp";
    expected.BUTTON_TRANSPARENCY = "NO";
    expected.TRANSPARENCY_MODE = 0;
    expected.MAX_RMTCMD_NUM = 512;
    expected.REPEAT = 3;
    expected.MAX_RMTCMD_BIT_LENGTH = 2048;
    expected.MIN_LEADER_LENGTH = 16;
    expected.DEV_LEADER_LENGTH = 4;
    expected.RMT_DIR = "/new";
    expected.RMT_FILE = "/new/dvd.rmt";
    expected.PORT = 20000;
    expected.ECHO = 0;
    expected.LIRC_ENABLE = 1;
    expected.LIRC_PORT = 18765;
    expected.LISTEN_ENABLE = 1;
    EXPECT_EQ(state.Settings, expected);

    EXPECT_EQ(view.View_Calls, (std::vector<std::string>{"Apply_Background", "Map_Keys"}));
    ASSERT_EQ(view.At_Apply_Background.size(), 1u);
    ASSERT_EQ(view.At_Map_Keys.size(), 1u);
    for (const TOrder_Row& row : Order_Rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NE(row.read(old_settings), row.read(expected)) << "the row must change";
        const std::string seen = row.before_the_background ? row.read(expected) : row.read(old_settings);
        EXPECT_EQ(row.read(view.At_Apply_Background[0]), seen);
        EXPECT_EQ(row.read(view.At_Map_Keys[0]), seen);
    }
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_TRUE(view.File_Requests.empty());
    EXPECT_EQ(view.Refreshes, 0);
}

TEST_F(Setup_Values_Test, A_Background_That_Cannot_Be_Loaded_Does_Not_Stop_OK) {
    state.Settings = Old_Settings();
    view.Background_Result = -1;
    Setup_OK(New_Values(), state);
    EXPECT_EQ(view.View_Calls, (std::vector<std::string>{"Apply_Background", "Map_Keys"}));
    EXPECT_EQ(state.Settings.BACK_IMAGE, "/new/back.bmp") << "the value stays stored";
    EXPECT_EQ(state.Settings.PORT, 20000);
    EXPECT_EQ(state.Settings.ECHO, 0);
}

TEST_F(Setup_Values_Test, OK_Stores_Each_Transparency_Selection) {
    struct Row {
        const char* name;
        const char* before;
        int item;
        const char* stored;
    };
    const std::vector<Row> rows = {
        {"no_selected", "YES", Transparency_No_Item, "NO"},
        {"yes_selected", "NO", Transparency_Yes_Item, "YES"},
        {"text_typed", "NO", Transparency_No_Selection, "YES"},
        {"on_from_the_file_shown_as_yes", "ON", Transparency_Item("ON"), "YES"},
        {"empty_from_the_file_shown_as_yes", "", Transparency_Item(""), "YES"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state.Settings.BUTTON_TRANSPARENCY = row.before;
        TSetup_Values values = Setup_Values(state.Settings);
        values.BUTTON_TRANSPARENCY_Item = row.item;
        Setup_OK(values, state);
        EXPECT_EQ(state.Settings.BUTTON_TRANSPARENCY, row.stored);
    }
}

TEST_F(Setup_Values_Test, OK_With_What_Opening_Showed_Changes_Only_What_Was_Out_Of_Range) {
    state.Settings = Old_Settings();
    state.Settings.STARTUP = 1;
    state.Settings.Base_Address = 0x3BC;
    state.Settings.REPEAT = 0;
    TSettings expected = state.Settings;
    expected.REPEAT = 1;
    Setup_OK(Setup_Values(state.Settings), state);
    EXPECT_EQ(state.Settings, expected) << "STARTUP and Base_Address are not the dialog's";
}

// ---- Browse --------------------------------------------------------------------

TEST_F(Setup_Values_Test, The_File_Dialogs_Start_In_The_Stored_Folder) {
    struct Row {
        const char* name;
        std::function<std::optional<std::string>(TQEV_State&)> browse;
        const char* filter;
    };
    const std::vector<Row> rows = {
        {"background_picture", Setup_Form_Browse, "BMPファイル(*.bmp)|*.bmp|All(*.*)|*.*"},
        {"command_file", Setup_RMT_File_Browe, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        view.File_Requests.clear();
        state.Settings.RMT_DIR = "/stored/folder";
        view.Files = {"/chosen/file.bmp", ""};
        EXPECT_EQ(row.browse(state), "/chosen/file.bmp");
        EXPECT_EQ(row.browse(state), std::nullopt) << "cancelled";
        ASSERT_EQ(view.File_Requests.size(), 2u);
        for (const TFile_Request& request : view.File_Requests) {
            EXPECT_FALSE(request.Save);
            EXPECT_EQ(request.Initial_Folder, "/stored/folder");
            EXPECT_EQ(request.Filter, row.filter);
            EXPECT_EQ(request.Default_Extension, "");
            EXPECT_EQ(request.Initial_Name, "");
        }
        EXPECT_EQ(state.Settings.RMT_DIR, "/stored/folder") << "a choice is not stored before OK";
    }
}

TEST_F(Setup_Values_Test, The_Folder_Browser_Preselects_The_Stored_Folder) {
    state.Settings.RMT_DIR = "/stored/folder";
    view.Folders = {"/chosen", ""};
    EXPECT_EQ(Setup_DIR_Browse(state), "/chosen");
    EXPECT_EQ(Setup_DIR_Browse(state), std::nullopt) << "cancelled";
    EXPECT_EQ(view.Folder_Requests,
              (std::vector<std::string>{"Select Folder | /stored/folder", "Select Folder | /stored/folder"}));
    EXPECT_EQ(state.Settings.RMT_DIR, "/stored/folder");
}

}  // namespace
}  // namespace qev::test
