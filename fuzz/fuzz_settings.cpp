// Fuzzes the Settings file: any bytes as an INI file, read key by key, then
// written back and read again, which must give the same values. Also the
// integer and base-address parsers on the raw bytes.
#include "settings.h"
#include "settings_file.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)qev::Parse_Ini_Integer(text, 7);
    (void)qev::Parse_Base_Address(text);

    static const std::string folder = [] {
        std::string pattern = "/tmp/qev_fuzz_ini_XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    const std::string path = folder + "/QEV_LPT.INI";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    qev::TIni_File file(path);
    qev::TSettings first;
    qev::Read_Settings(file, first, "/profile", nullptr);
    // Texts holding line ends cannot be stored in an INI line; leave those.
    for (const std::string* t : {&first.BACK_IMAGE, &first.BUTTON_TRANSPARENCY, &first.RMT_DIR, &first.RMT_FILE})
        if (t->find_first_of("\r\n") != std::string::npos || t->find('\0') != std::string::npos) return 0;
    std::remove(path.c_str());
    if (!qev::Write_Settings(file, first)) std::abort();
    qev::TSettings second;
    qev::Read_Settings(file, second, "/profile", nullptr);
    if (second.BACK_IMAGE != first.BACK_IMAGE || second.BUTTON_TRANSPARENCY != first.BUTTON_TRANSPARENCY ||
        second.TRANSPARENCY_MODE != first.TRANSPARENCY_MODE || second.MAX_RMTCMD_NUM != first.MAX_RMTCMD_NUM ||
        second.REPEAT != first.REPEAT || second.MAX_RMTCMD_BIT_LENGTH != first.MAX_RMTCMD_BIT_LENGTH ||
        second.MIN_LEADER_LENGTH != first.MIN_LEADER_LENGTH || second.DEV_LEADER_LENGTH != first.DEV_LEADER_LENGTH ||
        second.Base_Address != first.Base_Address || second.RMT_DIR != first.RMT_DIR ||
        second.RMT_FILE != first.RMT_FILE || second.PORT != first.PORT || second.STARTUP != first.STARTUP ||
        second.ECHO != first.ECHO)
        std::abort();
    return 0;
}
