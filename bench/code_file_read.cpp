// How long qev-ir takes to read a large code file, beside a plain read of
// the same bytes by cat.
//
// The files are made here, the same bytes on every run, in the shapes the
// public collections hold:
//   - a Flipper library file of about 1 MB: half its records parsed (NEC,
//     NECext, Samsung32, RC5, RC6, SIRC, SIRC15 in turn), a quarter raw
//     captures of those protocols (one to three frames each, marks
//     stretched and spaces shortened by a few tens of us as a receiver
//     takes them), a quarter air conditioner frames no protocol here knows
//     (`data:` lines of 400 durations);
//   - a lircd.conf of about 150 kB: SPACE_ENC remotes of a few hundred keys
//     (NEC-, Samsung- and Sony-like timings, codes commented as irrecord's
//     conversions comment them), an RC5 remote and a RAW_CODES remote.
// Every command runs as a whole process (qev-ir from beside this program,
// cat from PATH), its output going to /dev/null, the commands taking turns
// round by round so that a busy host slows each alike; the medians are
// printed, and the ratios to cat. A Flipper file of the header alone shows
// what starting qev-ir costs by itself.
#include "bench/code_file_read.h"

#include "harness/stats.h"
#include "ir/protocols.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

extern char** environ;

namespace qev::bench {
namespace {

constexpr std::size_t Flipper_Bytes = 1'000'000;
constexpr std::size_t Lircd_Bytes = 150'000;

// A fixed sequence of numbers, so that every run writes the same files.
class TSequence {
public:
    uint32_t Next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state_ >> 33);
    }
    // From `low` to `high`, both included.
    int32_t Between(int32_t low, int32_t high) {
        return low + static_cast<int32_t>(Next() % static_cast<uint32_t>(high - low + 1));
    }

private:
    uint64_t state_ = 0x51E7C0DEu;
};

constexpr std::array<std::string_view, 24> Button_Names{
    "Power", "Vol_up", "Vol_dn", "Ch_next", "Ch_prev", "Mute",  "Input", "Menu",    "Ok",      "Up", "Down", "Left",
    "Right", "Back",   "Exit",   "Info",    "Play",    "Pause", "Stop",  "Cool_hi", "Heat_lo", "Dh", "Off",  "Source"};

std::string Little_Endian_Bytes(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X", value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF,
                  (value >> 24) & 0xFF);
    return text;
}

TIR_Code Some_Code(TSequence& random, int kind) {
    switch (kind % 7) {
        case 0:
            return {TProtocol::NEC, random.Next() % 0x100, random.Next() % 0x100};
        case 1:
            return {TProtocol::NECext, random.Next() % 0x10000, random.Next() % 0x10000};
        case 2:
            return {TProtocol::Samsung32, random.Next() % 0x100, random.Next() % 0x100};
        case 3:
            return {TProtocol::RC5, random.Next() % 0x20, random.Next() % 0x40};
        case 4:
            return {TProtocol::RC6, random.Next() % 0x100, random.Next() % 0x100};
        case 5:
            return {TProtocol::SIRC, random.Next() % 0x20, random.Next() % 0x80};
        default:
            return {TProtocol::SIRC15, random.Next() % 0x100, random.Next() % 0x80};
    }
}

// As a receiver takes a signal: marks a little longer, spaces a little
// shorter, the final space left out.
void Append_Captured(std::string& out, const std::vector<int32_t>& durations, TSequence& random) {
    for (std::size_t i = 0; i + 1 < durations.size() || (i < durations.size() && i % 2 == 0); ++i) {
        const int32_t change = random.Between(5, 60);
        const int32_t us = i % 2 == 0 ? durations[i] + change : std::max(durations[i] - change, 1);
        out += ' ';
        out += std::to_string(us);
    }
}

// An air conditioner's frame: a leader and a long pulse-distance word, then
// a shorter second part.
std::vector<int32_t> Air_Conditioner_Frame(TSequence& random) {
    std::vector<int32_t> d;
    d.reserve(420);
    const auto pair = [&](int32_t mark, int32_t space) {
        d.push_back(mark);
        d.push_back(space);
    };
    const auto word = [&](int bits) {
        for (int i = 0; i < bits; ++i) pair(430, random.Next() % 3 == 0 ? 1290 : 430);
    };
    pair(3100, 1600);
    word(136);
    pair(430, 10100);
    pair(3100, 1600);
    word(64);
    d.push_back(430);
    return d;
}

std::string Flipper_Text() {
    TSequence random;
    std::string out = "Filetype: IR library file\nVersion: 1\n# Generated for qev_bench read\n#\n";
    for (int n = 0; out.size() < Flipper_Bytes; ++n) {
        out += "# \nname: ";
        // Names are unique, so that a Command file can hold every record.
        out += Button_Names[static_cast<std::size_t>(n) % Button_Names.size()];
        out += '_' + std::to_string(n / static_cast<int>(Button_Names.size()));
        out += '\n';
        if (n % 2 == 0) {
            const TIR_Code code = Some_Code(random, n / 2);
            out += "type: parsed\nprotocol: " + std::string(Protocol_Info(code.Protocol).Name) +
                   "\naddress: " + Little_Endian_Bytes(code.Address) +
                   "\ncommand: " + Little_Endian_Bytes(code.Command) + "\n";
            continue;
        }
        std::vector<int32_t> durations;
        if (n % 4 == 3) {
            durations = Air_Conditioner_Frame(random);
        } else {
            const TIR_Code code = Some_Code(random, n / 4);
            const std::vector<int32_t> frame = Encode(code).Durations_us;
            const int frames = random.Between(1, 3);
            for (int f = 0; f < frames; ++f) durations.insert(durations.end(), frame.begin(), frame.end());
        }
        out += "type: raw\nfrequency: 38000\nduty_cycle: 0.330000\ndata:";
        Append_Captured(out, durations, random);
        out += '\n';
    }
    return out;
}

// ---- lircd.conf -----------------------------------------------------------------

constexpr std::array<std::string_view, 16> Key_Names{
    "KEY_POWER", "KEY_VOLUMEUP", "KEY_VOLUMEDOWN", "KEY_CHANNELUP", "KEY_CHANNELDOWN", "KEY_MUTE",
    "KEY_MENU",  "KEY_OK",       "KEY_UP",         "KEY_DOWN",      "KEY_LEFT",        "KEY_RIGHT",
    "KEY_BACK",  "KEY_EXIT",     "KEY_INFO",       "KEY_PLAY"};

struct TSpace_Remote {
    const char* Name;
    const char* Timings;  // the lines between flags and the codes
    int Bits;
    int Keys;
    bool Nec_Code;  // the code is a command byte and its inverse
};

// The key names are unique over the whole file, so that a Command file can
// hold every key.
std::string Key_Name(int ordinal) {
    return std::string(Key_Names[static_cast<std::size_t>(ordinal) % Key_Names.size()]) + "_" +
           std::to_string(ordinal / static_cast<int>(Key_Names.size()));
}

void Append_Codes(std::string& out, const TSpace_Remote& remote, TSequence& random, int& ordinal) {
    out += "\n      begin codes\n";
    for (int k = 0; k < remote.Keys; ++k) {
        const std::string key = Key_Name(ordinal++);
        const char* name = key.c_str();
        uint64_t code = random.Next() & ((uint64_t{1} << remote.Bits) - 1);
        if (remote.Nec_Code) code = (code & 0xFF00) | (~(code >> 8) & 0xFF);
        char line[128];
        std::snprintf(line, sizeof line, "          %-24s 0x%016llX        #  Was: %s\n", name,
                      static_cast<unsigned long long>(code), name + 4);
        out += line;
    }
    out += "      end codes\n\nend remote\n\n";
}

std::string Lircd_Text() {
    TSequence random;
    int ordinal = 0;
    std::string out =
        "#\n# this config file was automatically generated\n# using lirc-0.9.0 on a bench host\n#\n"
        "# contributed by qev_bench\n#\n";
    const TSpace_Remote remotes[] = {
        {"NEC_TV",
         "  header       9000  4500\n  one           563  1687\n  zero          563   562\n"
         "  ptrail        563\n  repeat       9000  2250\n  pre_data_bits   16\n  pre_data       0x20DF\n"
         "  gap          108000\n  toggle_bit_mask 0x0\n  frequency    38000\n",
         16, 450, true},
        {"Samsung_TV",
         "  header       4497  4497\n  one           561  1690\n  zero          561   561\n"
         "  ptrail        560\n  pre_data_bits   16\n  pre_data       0xE0E0\n  gap          108068\n"
         "  toggle_bit_mask 0x0\n",
         16, 450, true},
        {"Sony_VCR",
         "  header       2400   600\n  one          1200   600\n  zero          600   600\n"
         "  gap          45000\n  min_repeat      2\n  toggle_bit_mask 0x0\n  frequency    40000\n",
         12, 400, false},
        {"NEC_DVD",
         "  header       9067  4393\n  one           642  1600\n  zero          642   470\n"
         "  ptrail        645\n  repeat       9065  2155\n  pre_data_bits   16\n  pre_data       0x4BB6\n"
         "  gap          107826\n  toggle_bit_mask 0x0\n",
         16, 450, true},
    };
    for (const TSpace_Remote& remote : remotes) {
        out += "begin remote\n\n  name  " + std::string(remote.Name) + "\n  bits           " +
               std::to_string(remote.Bits) +
               "\n  flags SPACE_ENC|CONST_LENGTH\n  eps            30\n  aeps          100\n\n";
        out += remote.Timings;
        Append_Codes(out, remote, random, ordinal);
    }
    // LIRC's RC5 remotes: the first start bit as plead, then 13 bits.
    constexpr int Rc5_Keys = 300;
    out +=
        "begin remote\n\n  name  Philips_RC5\n  bits           13\n  flags RC5|CONST_LENGTH\n  eps            30\n"
        "  aeps          100\n\n  one           889   889\n  zero          889   889\n  plead         889\n"
        "  pre_data_bits   0\n  gap          113792\n  frequency    36000\n";
    // Codes with the second start bit set, as a plain RC5 remote sends.
    TSequence rc5_random;
    out += "\n      begin codes\n";
    for (int k = 0; k < Rc5_Keys; ++k) {
        char line[96];
        std::snprintf(line, sizeof line, "          %-24s 0x%04X\n", Key_Name(ordinal++).c_str(),
                      0x1000u | (rc5_random.Next() & 0x7FFu));
        out += line;
    }
    out += "      end codes\n\nend remote\n\n";
    // A RAW_CODES remote as irrecord writes one: six durations a line.
    out +=
        "begin remote\n\n  name  AC_raw\n  flags RAW_CODES\n  eps            30\n  aeps          100\n\n"
        "  frequency    38000\n  gap          40000\n\n      begin raw_codes\n";
    for (int k = 0; out.size() < Lircd_Bytes; ++k) {
        out += "\n          name " + Key_Name(ordinal++) + "\n";
        const std::vector<int32_t> frame = Encode(Some_Code(random, k % 3)).Durations_us;
        for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
            char number[16];
            const int32_t change = random.Between(0, 40);
            std::snprintf(number, sizeof number, "%9d", i % 2 == 0 ? frame[i] + change : frame[i] - change);
            out += (i % 6 == 0 ? "        " : "") + std::string(number) +
                   (i % 6 == 5 || i + 2 == frame.size() ? "\n" : "");
        }
    }
    out += "\n      end raw_codes\n\nend remote\n";
    return out;
}

// ---- timing ---------------------------------------------------------------------

bool Write_File(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(file.flush());
}

// Runs the command with its output to /dev/null; the wall time in ns, or -1
// when it could not start or did not succeed.
int64_t Time_Run(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    int status = 0;
    const bool ran = error == 0 && waitpid(pid, &status, 0) == pid;
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!ran || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count();
}

struct TTimed {
    std::string Label;
    std::vector<std::string> Command;
    std::vector<int64_t> Ns;
    int Failures = 0;
};

double Ms(int64_t ns) { return static_cast<double>(ns) / 1e6; }

}  // namespace

int Run_Code_File_Read(const TRead_Options& options) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const std::string qev_ir = (self.parent_path() / "qev-ir").string();
    if (error || !fs::exists(qev_ir)) {
        std::fprintf(stderr, "qev_bench read: %s not found (it is built beside qev_bench)\n", qev_ir.c_str());
        return 1;
    }
    fs::path directory = options.Directory;
    const bool temporary = directory.empty();
    if (temporary) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qev_bench_read.XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::fprintf(stderr, "qev_bench read: no temporary directory: %s\n", std::strerror(errno));
            return 1;
        }
        directory = pattern;
    } else {
        fs::create_directories(directory, error);
    }
    const std::string flipper = (directory / "library.ir").string();
    const std::string lircd = (directory / "remotes.conf").string();
    const std::string empty = (directory / "empty.ir").string();
    const std::string flipper_text = Flipper_Text();
    const std::string lircd_text = Lircd_Text();
    if (!Write_File(flipper, flipper_text) || !Write_File(lircd, lircd_text) ||
        !Write_File(empty, "Filetype: IR signals file\nVersion: 1\n")) {
        std::fprintf(stderr, "qev_bench read: cannot write the files in %s\n", directory.c_str());
        return 1;
    }
    std::printf("Reading code files: %d runs each, median wall time of the whole process\n", options.Rounds);
    std::printf("  %s  %zu bytes\n  %s  %zu bytes\n\n", flipper.c_str(), flipper_text.size(), lircd.c_str(),
                lircd_text.size());

    // Per file: cat, then check (reading as File > Import does), decode
    // and convert, each compared with that file's cat.
    std::vector<TTimed> timed;
    for (const auto& [file, kind, rmt] :
         {std::tuple{flipper, "Flipper .ir", "library.rmt"}, std::tuple{lircd, "lircd.conf", "remotes.rmt"}}) {
        const std::string in = std::string(" (") + kind + ")";
        timed.push_back({"cat" + in, {"cat", file}, {}, 0});
        timed.push_back({"qev-ir check" + in, {qev_ir, "check", file}, {}, 0});
        timed.push_back({"qev-ir decode" + in, {qev_ir, "decode", file}, {}, 0});
        timed.push_back({"qev-ir convert to .rmt" + in, {qev_ir, "convert", file, (directory / rmt).string()}, {}, 0});
    }
    constexpr std::size_t Per_File = 4;
    timed.push_back({"qev-ir decode (header only)", {qev_ir, "decode", empty}, {}, 0});
    // One run of each first, not counted: the files and programs in the
    // page cache.
    for (TTimed& t : timed) Time_Run(t.Command);
    for (int round = 0; round < options.Rounds; ++round) {
        for (TTimed& t : timed) {
            const int64_t ns = Time_Run(t.Command);
            if (ns < 0) {
                ++t.Failures;
            } else {
                t.Ns.push_back(ns);
            }
        }
    }
    std::vector<int64_t> medians;
    int failures = 0;
    for (const TTimed& t : timed) {
        medians.push_back(Median(t.Ns));
        failures += t.Failures;
    }
    std::printf("  %-40s %10s %10s\n", "", "median ms", "x cat");
    const auto row = [&](std::size_t i, int64_t cat) {
        std::printf("  %-40s %10.2f", timed[i].Label.c_str(), Ms(medians[i]));
        if (cat > 0) std::printf(" %10.1f", Ratio(medians[i], cat));
        if (timed[i].Failures > 0) std::printf("   (%d runs failed)", timed[i].Failures);
        std::printf("\n");
    };
    for (std::size_t i = 0; i + 1 < timed.size(); ++i) {
        const std::size_t cat = i - i % Per_File;
        row(i, i == cat ? 0 : medians[cat]);
    }
    row(timed.size() - 1, 0);
    std::printf("\n  starting qev-ir (decode of a header-only file) is %.2f ms of each qev-ir figure\n",
                Ms(medians.back()));
    if (temporary) fs::remove_all(directory, error);
    return failures == 0 ? 0 : 1;
}

}  // namespace qev::bench
