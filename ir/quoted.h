// Text from a code file quoted in a message: in single quotes, cut at 40
// characters so that the message stays one line.
#ifndef QEV_IR_QUOTED_H
#define QEV_IR_QUOTED_H

#include <string>
#include <string_view>

namespace qev {

inline std::string Quoted(std::string_view text) {
    constexpr std::size_t limit = 40;
    std::string quoted = "'";
    quoted += text.substr(0, limit);
    quoted += text.size() > limit ? "...'" : "'";
    return quoted;
}

}  // namespace qev

#endif
