#include "base/decimal_words.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <emmintrin.h>
#include <tmmintrin.h>
#define QEV_DECIMAL_WORDS_X86 1
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
#if defined(QEV_DECIMAL_WORDS_X86)
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

// A bit for each byte of the line, set on digits, and one word of no digits
// after them; false when a byte is neither a digit nor a space.
bool Digit_Bits(std::string_view line, std::vector<uint64_t>& digits) {
    digits.clear();
    digits.reserve(line.size() / Stretch + 2);
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
        digits.push_back(kinds.Digits);
    }
    digits.push_back(0);
    return true;
}

// Where each word begins and how many digits it has, as `start << 4 |
// digits`; false when a word has more than seven.
constexpr unsigned Digits_Field = 4;
bool Find_Words(const std::vector<uint64_t>& digits, std::vector<uint32_t>& words) {
    words.clear();
    uint64_t digit_before = 0;  // whether the byte before the stretch is a digit
    for (std::size_t k = 0; k + 1 < digits.size(); ++k) {
        const uint64_t d = digits[k];
        for (uint64_t starts = d & ~(d << 1 | digit_before); starts != 0; starts &= starts - 1) {
            const auto bit = static_cast<unsigned>(std::countr_zero(starts));
            // The digits from there on, into the next stretch when they
            // run to this one's end.
            auto count = static_cast<unsigned>(std::countr_one(d >> bit));
            if (bit + count == Stretch) count += static_cast<unsigned>(std::countr_one(digits[k + 1]));
            if (count > 7) return false;
            words.push_back(static_cast<uint32_t>((k * Stretch + bit) << Digits_Field | count));
        }
        digit_before = d >> 63;
    }
    return true;
}

uint32_t Start_Of(uint32_t word) { return word >> Digits_Field; }
uint32_t Count_Of(uint32_t word) { return word & ((1u << Digits_Field) - 1); }

#if defined(QEV_DECIMAL_WORDS_X86)
// For a word of c digits read from its first byte into eight: where each
// of the eight bytes of its number, zeros first, comes from (0x80: zero).
struct TDigit_Places {
    std::array<std::array<uint8_t, 8>, 8> Of{};
};
constexpr TDigit_Places Make_Digit_Places() {
    TDigit_Places places;
    for (std::size_t c = 0; c < 8; ++c) {
        for (std::size_t j = 0; j < 8; ++j) places.Of[c][j] = j + c >= 8 ? static_cast<uint8_t>(j + c - 8) : 0x80;
    }
    return places;
}
constexpr TDigit_Places Digit_Places = Make_Digit_Places();

// The numbers of words[0..) two at a time while both have eight bytes of
// the line from their start, with SSSE3: each word's digits put in place
// as an eight-digit number with leading zeros, then tens, hundreds and ten
// thousands joined in three multiply-adds. How many were read; `sound`
// false when one is outside low..high.
__attribute__((target("ssse3"))) std::size_t Read_In_Pairs(std::string_view line, const std::vector<uint32_t>& words,
                                                           uint32_t low, uint32_t high, int32_t* out, bool& sound) {
    const __m128i zero_digits = _mm_set1_epi8('0');
    const __m128i second_half = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 8, 8, 8, 8, 8, 8, 8, 8);
    const __m128i tens = _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1);
    const __m128i hundreds = _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1);
    const __m128i myriads = _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1);
    const __m128i lowest = _mm_set1_epi32(static_cast<int32_t>(low));
    const __m128i highest = _mm_set1_epi32(static_cast<int32_t>(high));
    __m128i outside = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 1 < words.size() && Start_Of(words[i + 1]) + 8 <= line.size(); i += 2) {
        uint64_t first = 0, second = 0, first_places = 0, second_places = 0;
        std::memcpy(&first, line.data() + Start_Of(words[i]), 8);
        std::memcpy(&second, line.data() + Start_Of(words[i + 1]), 8);
        std::memcpy(&first_places, Digit_Places.Of[Count_Of(words[i])].data(), 8);
        std::memcpy(&second_places, Digit_Places.Of[Count_Of(words[i + 1])].data(), 8);
        const __m128i bytes =
            _mm_sub_epi8(_mm_set_epi64x(static_cast<int64_t>(second), static_cast<int64_t>(first)), zero_digits);
        const __m128i places = _mm_add_epi8(
            _mm_set_epi64x(static_cast<int64_t>(second_places), static_cast<int64_t>(first_places)), second_half);
        const __m128i eight_digits = _mm_shuffle_epi8(bytes, places);
        const __m128i pairs = _mm_maddubs_epi16(eight_digits, tens);
        const __m128i fours = _mm_madd_epi16(pairs, hundreds);
        const __m128i numbers = _mm_madd_epi16(_mm_packs_epi32(fours, fours), myriads);
        outside =
            _mm_or_si128(outside, _mm_or_si128(_mm_cmpgt_epi32(lowest, numbers), _mm_cmpgt_epi32(numbers, highest)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), numbers);
    }
    if ((_mm_movemask_epi8(outside) & 0xFF) != 0) sound = false;
    return i;
}

// Asked of the processor once, when first needed (the compiler's own
// check would ask for every feature as each program starts).
bool Have_Ssse3() {
    static const bool have = [] {
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_SSSE3) != 0;
    }();
    return have;
}
#endif

}  // namespace

bool TDecimal_Words::Append(std::string_view line, uint32_t low, uint32_t high, std::vector<int32_t>& out) {
    std::vector<uint32_t>& words = words_;
    if (!Digit_Bits(line, digits_) || !Find_Words(digits_, words)) return false;
    const std::size_t before = out.size();
    out.resize(before + words.size());
    int32_t* const numbers = out.data() + before;
    bool sound = true;
    std::size_t i = 0;
#if defined(QEV_DECIMAL_WORDS_X86)
    if (Have_Ssse3()) i = Read_In_Pairs(line, words, low, high, numbers, sound);
#endif
    // The rest digit by digit: near the line's end, or on a machine without.
    for (; i < words.size(); ++i) {
        uint32_t value = 0;
        for (uint32_t j = Start_Of(words[i]); j < Start_Of(words[i]) + Count_Of(words[i]); ++j) {
            value = value * 10 + static_cast<uint32_t>(line[j] - '0');
        }
        if (value < low || value > high) sound = false;
        numbers[i] = static_cast<int32_t>(value);
    }
    if (!sound) out.resize(before);
    return sound;
}

}  // namespace qev
