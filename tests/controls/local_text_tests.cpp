// The core's bytes shown in widgets and read back: nothing is lost, UTF-8
// shows as its characters, every other byte as one character of its own.
#include "controls/local_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace qev {
namespace {

struct Text_Row {
    const char* name;
    std::string bytes;
    std::u32string shown;  // the characters a widget gets
};

void PrintTo(const Text_Row& row, std::ostream* out) { *out << row.name; }

class Local_Text : public ::testing::TestWithParam<Text_Row> {};

TEST_P(Local_Text, Shows_The_Characters_And_Gives_Back_The_Bytes) {
    const Text_Row& row = GetParam();
    const QString shown = To_Q(row.bytes);
    EXPECT_EQ(shown.toStdU32String(), row.shown);
    EXPECT_EQ(From_Q(shown), row.bytes);
}

INSTANTIATE_TEST_SUITE_P(Bytes, Local_Text,
                         ::testing::Values(Text_Row{"ascii_and_controls", std::string("A\0\t\x7F", 4),
                                                    std::u32string(U"A\0\t\x7F", 4)},
                                           Text_Row{"utf8_two_three_four_bytes", "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x93\xBA",
                                                    U"\u00E9\u65E5\U0001F4FA"},
                                           Text_Row{"latin1_byte", "CAF\xC9", U"CAF\uF7C9"},
                                           Text_Row{"shift_jis_name", "\x93\x64\x8C\xB9", U"\uF793d\uF78C\uF7B9"},
                                           Text_Row{"lone_continuation_byte", "\x80", U"\uF780"},
                                           Text_Row{"overlong_zero", "\xC0\x80", U"\uF7C0\uF780"},
                                           Text_Row{"encoded_surrogate", "\xED\xA0\x80", U"\uF7ED\uF7A0\uF780"},
                                           Text_Row{"beyond_u10ffff", "\xF4\x90\x80\x80", U"\uF7F4\uF790\uF780\uF780"},
                                           Text_Row{"sequence_cut_short", "\xE6\x97", U"\uF7E6\uF797"},
                                           Text_Row{"utf8_of_a_byte_character", "\xEF\x9F\x89", U"\uF7EF\uF79F\uF789"},
                                           Text_Row{"utf8_just_outside_the_byte_characters", "\xEF\x9D\xBF", U"\uF77F"},
                                           Text_Row{"byte_order_mark", "\xEF\xBB\xBFX", U"\uFEFFX"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Local_Text_Random, Any_Byte_String_Comes_Back_Unchanged) {
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 40);
    for (int i = 0; i < 20000; ++i) {
        std::string bytes(static_cast<std::size_t>(length(random)), '\0');
        for (char& b : bytes) b = static_cast<char>(byte(random));
        ASSERT_EQ(From_Q(To_Q(bytes)), bytes) << "case " << i;
    }
}

TEST(Local_Text_Typed, Text_Typed_In_A_Widget_Becomes_Utf8) {
    EXPECT_EQ(From_Q(QString::fromUtf16(u"caf\u00E9 \U0001F4FA")), "caf\xC3\xA9 \xF0\x9F\x93\xBA");
    EXPECT_EQ(From_Q(QString(QChar(0xD800))), "\xEF\xBF\xBD") << "half a surrogate pair";
}

}  // namespace
}  // namespace qev
