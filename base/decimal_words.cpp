#include "base/decimal_words.h"

#include "base/text_scan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qev {
namespace {

constexpr std::size_t Stretch = 64;  // bytes looked at in one step: a bit each

// Of 64 bytes: which are digits, and which are neither digits nor spaces.
struct TByte_Kinds {
    uint64_t Digits = 0;
    uint64_t Others = 0;
};

TByte_Kinds Kinds_Of(const char* bytes) {
    TByte_Kinds kinds;
#if defined(__SSE2__)
    const __m128i zero_digit = _mm_set1_epi8('0'), nine = _mm_set1_epi8(9), space = _mm_set1_epi8(' ');
    for (std::size_t block = 0; block < Stretch / 16; ++block) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * block));
        // A digit less '0' is 0 to 9 as an unsigned byte: no more than its
        // minimum with 9.
        const __m128i value = _mm_sub_epi8(v, zero_digit);
        const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(value, nine), value);
        const __m128i either = _mm_or_si128(digit, _mm_cmpeq_epi8(v, space));
        const auto shift = static_cast<int>(16 * block);
        kinds.Digits |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(digit))} << shift;
        kinds.Others |= uint64_t{static_cast<uint16_t>(~_mm_movemask_epi8(either))} << shift;
    }
#else
    for (std::size_t i = 0; i < Stretch; ++i) {
        const bool digit = static_cast<unsigned char>(bytes[i] - '0') <= 9;
        kinds.Digits |= uint64_t{digit} << i;
        kinds.Others |= uint64_t{!digit && bytes[i] != ' '} << i;
    }
#endif
    return kinds;
}

// The positions where words begin, a bit for each byte of the line: false
// when a byte is neither a digit nor a space.
bool Word_Starts(std::string_view line, std::vector<uint64_t>& starts) {
    starts.clear();
    starts.reserve(line.size() / Stretch + 1);
    uint64_t digit_before = 0;  // whether the byte before the stretch is a digit
    for (std::size_t at = 0; at < line.size(); at += Stretch) {
        TByte_Kinds kinds;
        if (line.size() - at >= Stretch) {
            kinds = Kinds_Of(line.data() + at);
        } else {
            // The line's end, padded with spaces.
            std::array<char, Stretch> tail;
            tail.fill(' ');
            std::memcpy(tail.data(), line.data() + at, line.size() - at);
            kinds = Kinds_Of(tail.data());
        }
        if (kinds.Others != 0) return false;
        starts.push_back(kinds.Digits & ~(kinds.Digits << 1 | digit_before));
        digit_before = kinds.Digits >> 63;
    }
    return true;
}

// The bits set: a few steps where the machine's own count is a call.
std::size_t Bits_Set(uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555u);
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<std::size_t>((x * 0x0101010101010101u) >> 56);
}

}  // namespace

bool Append_Decimal_Words(std::string_view line, uint32_t low, uint32_t high, std::vector<int32_t>& out) {
    thread_local std::vector<uint64_t> starts;
    if (!Word_Starts(line, starts)) return false;
    std::size_t words = 0;
    for (const uint64_t bits : starts) words += Bits_Set(bits);
    const std::size_t before = out.size();
    out.reserve(before + words);
    bool sound = true;
    for (std::size_t stretch = 0; stretch < starts.size(); ++stretch) {
        for (uint64_t bits = starts[stretch]; bits != 0; bits &= bits - 1) {
            const std::size_t pos = stretch * Stretch + static_cast<std::size_t>(std::countr_zero(bits));
            // Each word is read on its own: where it begins is known.
            TDigit_Run run = Digits_At(line, pos);
            if (run.Count == 0) {
                // Fewer than eight bytes left: digit by digit.
                for (std::size_t i = pos; i < line.size() && line[i] != ' ' && run.Count < 8; ++i, ++run.Count) {
                    run.Value = run.Value * 10 + static_cast<uint32_t>(line[i] - '0');
                }
            }
            if (run.Count >= 8 || run.Value < low || run.Value > high) sound = false;
            out.push_back(static_cast<int32_t>(run.Value));
        }
    }
    if (!sound) out.resize(before);
    return sound;
}

}  // namespace qev
