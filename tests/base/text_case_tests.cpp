// Names compared in any case: ASCII letters alone are folded.
#include "base/text_case.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace qev {
namespace {

TEST(Ascii_Case, Folds_The_Letters_A_To_Z_Alone) {
    struct Row {
        const char* name;
        char c, lower, upper;
    };
    constexpr Row rows[] = {
        {"A", 'A', 'a', 'A'},
        {"Z", 'Z', 'z', 'Z'},
        {"a", 'a', 'a', 'A'},
        {"z", 'z', 'z', 'Z'},
        {"@ before A", '@', '@', '@'},
        {"[ after Z", '[', '[', '['},
        {"` before a", '`', '`', '`'},
        {"{ after z", '{', '{', '{'},
        {"digit", '7', '7', '7'},
        {"NUL", '\0', '\0', '\0'},
        {"Latin-1 E acute 0xC9", '\xC9', '\xC9', '\xC9'},
        {"Latin-1 e acute 0xE9", '\xE9', '\xE9', '\xE9'},
        {"0xFF", '\xFF', '\xFF', '\xFF'},
    };
    for (const auto& [name, c, lower, upper] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Lower_Ascii(c), lower);
        EXPECT_EQ(Upper_Ascii(c), upper);
    }
}

TEST(Ascii_Case, Same_Ignoring_Case_Needs_The_Same_Length_And_Folds_Letters_Only) {
    using namespace std::string_view_literals;
    struct Row {
        const char* name;
        std::string_view a, b;
        bool same;
    };
    constexpr Row rows[] = {
        {"both empty", {}, {}, true},
        {"empty and not", {}, "a", false},
        {"exactly equal", "send_once", "send_once", true},
        {"upper and lower", "SEND_ONCE", "send_once", true},
        {"mixed", "SeNd_OnCe", "sEnD_oNcE", true},
        {"one longer", "nec", "nec:", false},
        {"another letter", "nec", "neb", false},
        {"[ and { differ by 0x20 but are no letters", "[", "{", false},
        {"@ and ` differ by 0x20 but are no letters", "@", "`", false},
        {"Latin-1 E acute and e acute", "\xC9", "\xE9", false},
        {"UTF-8 E acute and e acute", "\xC3\x89", "\xC3\xA9", false},
        {"the same UTF-8 bytes", "caf\xC3\xA9", "CAF\xC3\xA9", true},
        {"a NUL inside is compared", "a\0b"sv, "A\0B"sv, true},
        {"a NUL does not end the text", "a\0b"sv, "a\0c"sv, false},
    };
    for (const auto& [name, a, b, same] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Same_Ignoring_Case(a, b), same);
        EXPECT_EQ(Same_Ignoring_Case(b, a), same) << "the other way round";
    }
}

TEST(Ascii_Case, Starts_And_Ends_With_Ignoring_Case) {
    struct Row {
        const char* name;
        std::string_view text, part;
        bool starts, ends;
    };
    constexpr Row rows[] = {
        {"empty part", "tv.rmt", "", true, true},
        {"empty text", "", ".rmt", false, false},
        {"the whole text", ".RMT", ".rmt", true, true},
        {"an extension in upper case", "/home/me/TV.RMT", ".rmt", false, true},
        {"a prefix in upper case", "NEC:0x04:0x08", "nec:", true, false},
        {"longer than the text", "mt", ".rmt", false, false},
        {"bytes above 0x7F are compared as they are", "\xC9.RMT", "\xE9", false, false},
    };
    for (const auto& [name, text, part, starts, ends] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Starts_With_Ignoring_Case(text, part), starts);
        EXPECT_EQ(Ends_With_Ignoring_Case(text, part), ends);
    }
}

}  // namespace
}  // namespace qev
