// Fuzzes the Flipper, lircd.conf and Pronto readers from memory. The first
// byte picks the reader ('f', 'l', 'p', or any other byte by its value), the
// rest is the file. Every record read must sample within its limit; a
// protocol code must decode to itself (or to the narrower protocol it is
// indistinguishable from); and what the writer of that format makes of the
// records must read back with no fault and as many records.
#include "app/core/table_codes.h"
#include "ir/decoder.h"
#include "ir/flipper_file.h"
#include "ir/lircd_conf.h"
#include "ir/pronto.h"
#include "ir/protocols.h"

#include <cstdlib>
#include <string_view>

namespace {

constexpr int32_t Sample_Limit = 8192;

// NECext bytes that happen to be pairs of a byte and its inverse are NEC;
// an RC5X command below 64 is RC5.
qev::TIR_Code Expected_Decoding(qev::TIR_Code code) {
    using qev::TProtocol;
    const auto inverse_pair = [](uint32_t v) { return ((v ^ (v >> 8)) & 0xFFu) == 0xFFu; };
    if (code.Protocol == TProtocol::NECext && inverse_pair(code.Address) && inverse_pair(code.Command))
        return {TProtocol::NEC, code.Address & 0xFFu, code.Command & 0xFFu};
    if (code.Protocol == TProtocol::RC5X && code.Command < 0x40) code.Protocol = TProtocol::RC5;
    return code;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const int format = data[0] == 'f' ? 0 : data[0] == 'l' ? 1 : data[0] == 'p' ? 2 : data[0] % 3;
    const qev::TIR_File file = format == 0   ? qev::Read_Flipper_File(text)
                               : format == 1 ? qev::Read_Lircd_Conf(text)
                                             : qev::Read_Pronto_File(text);
    for (const qev::TIR_Record& record : file.Records) {
        const qev::TLevels levels = qev::Levels_Of_Record(record, Sample_Limit);
        if (levels.size() > static_cast<std::size_t>(Sample_Limit)) std::abort();
        const auto decoded = qev::Decode_Levels(levels);
        if (record.Code && (!decoded || decoded->Code != Expected_Decoding(*record.Code))) std::abort();
    }
    const std::string written = format == 0   ? qev::Write_Flipper_File(file.Records)
                                : format == 1 ? qev::Write_Lircd_Conf(file.Records, "fuzz")
                                              : qev::Write_Pronto_File(file.Records);
    const qev::TIR_File again = format == 0   ? qev::Read_Flipper_File(written)
                                : format == 1 ? qev::Read_Lircd_Conf(written)
                                              : qev::Read_Pronto_File(written);
    if (!again.Errors.empty() && !file.Records.empty()) std::abort();
    if (again.Records.size() != file.Records.size()) std::abort();
    return 0;
}
