// The 39 keys of the remote-control face: the command name each one sends,
// its component name, caption, position and tab position.
//
// The command name binds a key; the caption is only its label ("FR JMP"
// sends FR-JUMP, "." sends DOT).
#ifndef QEV_APP_WINDOW_KEY_TABLE_H
#define QEV_APP_WINDOW_KEY_TABLE_H

#include <array>

namespace qev {

struct TKey_Layout {
    const char* Command_Name;
    const char* Component;
    const char* Caption;
    int Left;
    int Top;
    int Tab;
};

constexpr int Key_Count = 39;
constexpr int Key_Width = 57;
constexpr int Key_Height = 25;

// In processing order.
extern const std::array<TKey_Layout, Key_Count> Key_Layouts;

}  // namespace qev

#endif
