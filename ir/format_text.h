// Text helpers the code file readers and writers share.
#ifndef QEV_IR_FORMAT_TEXT_H
#define QEV_IR_FORMAT_TEXT_H

#include "base/text_scan.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qev {

// Text from a code file quoted in a message: in single quotes, cut at 40
// characters so that the message stays one line.
inline std::string Quoted(std::string_view text) {
    constexpr std::size_t limit = 40;
    std::string quoted = "'";
    quoted += text.substr(0, limit);
    quoted += text.size() > limit ? "...'" : "'";
    return quoted;
}

// A name as a writer puts it on one line: trimmed of blanks (as the readers
// trim it), a CR or LF inside it becoming a blank.
inline std::string One_Line_Name(std::string_view name) {
    std::string line(Trim_Blanks(name));
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return line;
}

// The lines of a text that hold something, one after another: trimmed of
// blanks (so CR LF ends as LF ones), blank lines and '#' comment lines
// passed over, each with its number counted from 1 over all lines.
// A line as the line-based readers see it: without the blanks at either
// end; empty when it is blank or a '#' comment.
constexpr std::string_view Content_Of_Line(std::string_view line) {
    line = Trim_Blanks(line);
    return !line.empty() && line[0] == '#' ? std::string_view{} : line;
}

class TContent_Lines {
public:
    explicit TContent_Lines(std::string_view text) : text_(text) {}
    // The next such line; false at the end of the text.
    bool Next(std::string_view& line) {
        while (pos_ < text_.size()) {
            std::size_t end = text_.find('\n', pos_);
            if (end == std::string_view::npos) end = text_.size();
            line = Content_Of_Line(text_.substr(pos_, end - pos_));
            pos_ = end + 1;
            ++number_;
            if (!line.empty()) return true;
        }
        return false;
    }
    // The number of the line Next gave last; at the end, how many lines there were.
    int64_t Number() const { return number_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int64_t number_ = 0;
};

}  // namespace qev

#endif
