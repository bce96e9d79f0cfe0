#include "controls/local_text.h"

#include <cstdint>

namespace qev {

namespace {

// The characters that stand for single bytes 0x80..0xFF.
constexpr char32_t Byte_Base = 0xF700;
constexpr char32_t First_Byte_Char = Byte_Base + 0x80;
constexpr char32_t Last_Byte_Char = Byte_Base + 0xFF;

bool Stands_For_A_Byte(char32_t c) { return c >= First_Byte_Char && c <= Last_Byte_Char; }

bool Is_Continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The character of the UTF-8 sequence at `at`, and its length; length 0
// when the bytes there are no well-formed sequence (overlong forms,
// surrogates and values beyond U+10FFFF included).
char32_t Decode(std::string_view text, std::size_t at, std::size_t& length) {
    length = 0;
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t count = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        count = 2, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (at + count > text.size()) return 0;
    for (std::size_t i = 1; i < count; ++i) {
        const auto b = static_cast<unsigned char>(text[at + i]);
        if (!Is_Continuation(b)) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    length = count;
    return c;
}

void Append_Utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

QString To_Q(std::string_view text) {
    // Built character by character: QString::fromUcs4 would drop a leading
    // byte-order mark.
    QString shown;
    shown.reserve(static_cast<qsizetype>(text.size()));
    const auto append = [&shown](char32_t c) {
        if (QChar::requiresSurrogates(c)) {
            shown.append(QChar(QChar::highSurrogate(c)));
            shown.append(QChar(QChar::lowSurrogate(c)));
        } else {
            shown.append(QChar(static_cast<char16_t>(c)));
        }
    };
    for (std::size_t at = 0; at < text.size();) {
        const auto b = static_cast<unsigned char>(text[at]);
        if (b < 0x80) {
            append(b);
            ++at;
            continue;
        }
        std::size_t length = 0;
        const char32_t c = Decode(text, at, length);
        if (length == 0 || Stands_For_A_Byte(c)) {
            append(Byte_Base + b);  // one byte, one character
            ++at;
        } else {
            append(c);
            at += length;
        }
    }
    return shown;
}

std::string From_Q(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), text[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;  // half a pair means nothing
        }
        if (Stands_For_A_Byte(c))
            out.push_back(static_cast<char>(c - Byte_Base));
        else
            Append_Utf8(out, c);
    }
    return out;
}

}  // namespace qev
