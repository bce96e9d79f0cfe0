#include "ir/code_files.h"

#include "base/atomic_file.h"
#include "base/regular_file.h"
#include "base/text_case.h"
#include "ir/flipper_file.h"
#include "ir/lircd_conf.h"
#include "ir/pronto.h"

#include <cerrno>
#include <cstring>

namespace qev {

const char* const Import_Filter =
    "IR Code Files(*.ir;*.conf;*.pronto)|*.ir;*.conf;*.pronto|Flipper Files(*.ir)|*.ir|"
    "LIRC Files(*.conf)|*.conf|Pronto Files(*.pronto)|*.pronto|All files(*.*)|*.*";
const char* const Export_Filter = "Flipper Files(*.ir)|*.ir|LIRC Files(*.conf)|*.conf|Pronto Files(*.pronto)|*.pronto";

TExport_Target Export_Target(const std::string& path, int filter) {
    constexpr TCode_Format Formats[] = {TCode_Format::Flipper, TCode_Format::Lircd, TCode_Format::Pronto};
    constexpr const char* Extensions[] = {".ir", ".conf", ".pronto"};
    const std::size_t index = filter >= 0 && filter < 3 ? static_cast<std::size_t>(filter) : 0;
    TExport_Target target{path, Formats[index]};
    if (Format_Of_Path(path) != target.Format) target.Path += Extensions[index];
    return target;
}

std::optional<TCode_Format> Format_Of_Path(std::string_view path) {
    if (Ends_With_Ignoring_Case(path, ".rmt")) return TCode_Format::Command_File;
    if (Ends_With_Ignoring_Case(path, ".ir")) return TCode_Format::Flipper;
    if (Ends_With_Ignoring_Case(path, ".conf")) return TCode_Format::Lircd;
    if (Ends_With_Ignoring_Case(path, ".pronto")) return TCode_Format::Pronto;
    return std::nullopt;
}

const char* Format_Name(TCode_Format format) {
    switch (format) {
        case TCode_Format::Command_File:
            return "Command file";
        case TCode_Format::Flipper:
            return "Flipper .ir";
        case TCode_Format::Lircd:
            return "lircd.conf";
        case TCode_Format::Pronto:
            return "Pronto hex";
    }
    return "";
}

namespace {

TIR_File Unreadable_File(int error) {
    return {{}, {{0, error == EFBIG ? "the file is larger than 64 MB" : std::strerror(error)}}};
}

}  // namespace

TIR_File Read_Code_File(const std::string& path, TCode_Format format, const TRecord_Sink& take) {
    if (format == TCode_Format::Flipper) {
        // Line by line as the file is read: the file is never held whole.
        TFlipper_Reader reader(take);
        int error = 0;
        if (!Read_Regular_File_Lines(
                path, [&](std::string_view line) { return reader.Take_Line(line); }, &error, Code_File_Limit)) {
            return Unreadable_File(error);
        }
        return reader.Finish();
    }
    std::string text;
    int error = 0;
    if (!Read_Regular_File(path, text, &error, Code_File_Limit)) return Unreadable_File(error);
    TIR_File file;
    switch (format) {
        case TCode_Format::Lircd:
            return Read_Lircd_Conf(text, take);
        case TCode_Format::Pronto:
            file = Read_Pronto_File(text);
            break;
        case TCode_Format::Flipper:
        case TCode_Format::Command_File:
            return {{}, {{0, "Command files are read by the Command store"}}};
    }
    if (take) {
        for (TIR_Record& record : file.Records) take(std::move(record));
        file.Records.clear();
    }
    return file;
}

TIR_File Read_Code_File(const std::string& path, TCode_Format format) { return Read_Code_File(path, format, {}); }

bool Unreadable(const TIR_File& file) {
    return file.Records.empty() && file.Errors.size() == 1 && file.Errors[0].Line == 0;
}

std::string Code_File_Text(const std::vector<TIR_Record>& records, TCode_Format format, std::string_view remote_name) {
    switch (format) {
        case TCode_Format::Flipper:
            return Write_Flipper_File(records);
        case TCode_Format::Lircd:
            return Write_Lircd_Conf(records, remote_name);
        case TCode_Format::Pronto:
            return Write_Pronto_File(records);
        case TCode_Format::Command_File:
            break;
    }
    return {};
}

int Save_Text_File(const std::string& path, std::string_view text) {
    TAtomic_File_Writer writer(path);
    if (!writer.Is_Open() || !writer.Write(text) || !writer.Commit()) return writer.Error() != 0 ? writer.Error() : EIO;
    return 0;
}

std::string Describe_Error(const std::string& path, const TFormat_Error& error) {
    if (error.Line <= 0) return path + ": " + error.Message;
    return path + ", line " + std::to_string(error.Line) + ": " + error.Message;
}

}  // namespace qev
