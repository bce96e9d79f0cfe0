// The core keeps texts as bytes (names, lines, paths, messages); widgets
// show QStrings. These two convert between them without losing a byte.
//
// Bytes that form UTF-8 are shown as the characters they encode. Every
// other byte from 0x80 up (a Latin-1 or Shift-JIS name, a stray byte) is
// shown as one character of its own from the private-use range U+F780 to
// U+F7FF (U+F700 + the byte), and turns back into that byte. So a Command
// name, a macro line or a path typed by nobody survives a round trip
// through a widget byte for byte: From_Q(To_Q(bytes)) == bytes for every
// byte string. (UTF-8 that encodes a character of that range is itself
// shown byte by byte, so that it, too, comes back as it was.)
#ifndef QEV_CONTROLS_LOCAL_TEXT_H
#define QEV_CONTROLS_LOCAL_TEXT_H

#include <QString>

#include <string>
#include <string_view>

namespace qev {

QString To_Q(std::string_view text);
std::string From_Q(const QString& text);

}  // namespace qev

#endif
