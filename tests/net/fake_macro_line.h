// A stand-in for the macro interpreter's silent mode, for the server's tests:
// a line of blanks (or of control characters) succeeds, any other line
// succeeds when its first word names a known command.
#ifndef QEV_TESTS_NET_FAKE_MACRO_LINE_H
#define QEV_TESTS_NET_FAKE_MACRO_LINE_H

#include <set>
#include <string>

namespace qev::test {

inline bool Fake_Run(const std::string& line, const std::set<std::string>& known) {
    std::size_t begin = 0, end = line.size();
    while (begin < end && static_cast<unsigned char>(line[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(line[end - 1]) <= 32) --end;
    if (begin == end) return true;
    const std::size_t blank = line.find(' ', begin);
    const std::string word = line.substr(begin, (blank < end ? blank : end) - begin);
    return known.count(word) > 0;
}

}  // namespace qev::test

#endif
