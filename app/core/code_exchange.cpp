// Importing and exporting the code file formats of other infrared tools.
#include "app/core/qev_state.h"
#include "app/core/table_codes.h"

#include <algorithm>

namespace qev {
namespace {

constexpr const char* Import_Caption = "Import";

// The name of a file without its folder and its last extension.
std::string Stem_Of(const std::string& path) {
    std::string name = File_Name_Of(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

int32_t TQEV_State::Import_Code_File(const std::string& path) {
    const auto format = Format_Of_Path(path);
    if (!format || *format == TCode_Format::Command_File) {
        Feedback.Show_Error(File_Name_Of(path) + ": not a .ir, .conf or .pronto file", Import_Caption);
        return -1;
    }
    const TIR_File file = Read_Code_File(path, *format);
    std::string text;
    if (!file.Errors.empty()) {
        text = Describe_Error(File_Name_Of(path), file.Errors.front());
        const std::size_t more = file.Errors.size() - 1;
        if (more > 0) text += "\n(and " + std::to_string(more) + (more == 1 ? " more fault)" : " more faults)");
    }
    if (file.Records.empty()) {
        Feedback.Show_Error(text.empty() ? File_Name_Of(path) + ": the file holds no commands" : text, Import_Caption);
        return -1;
    }
    Settings.RMT_DIR = Folder_Of(path);
    const TImport_Limits limits{Row_Limit(), std::min(Settings.MAX_RMTCMD_BIT_LENGTH, Table.Row_Capacity() * 8)};
    const TImport_Result result = Import_Records(file.Records, Table, limits);
    if (result.Added > 0) Origin.Rows_Added();
    for (const std::string& line : Describe_Import(result)) text += (text.empty() ? "" : "\n") + line;
    View.Set_Status_Text(File_Name_Of(path));
    View.Refresh_Command_View();
    if (!text.empty()) Feedback.Show_Error(text, Import_Caption);
    return result.Added;
}

bool TQEV_State::Export_Code_File(const std::string& path, TCode_Format format) {
    const std::vector<TIR_Record> records = Export_Records(Table, format == TCode_Format::Flipper);
    const int error = Save_Text_File(path, Code_File_Text(records, format, Stem_Of(path)));
    if (error != 0) {
        Feedback.Show_Error("Can't Create File", "File Open Error");
        return false;
    }
    Settings.RMT_DIR = Folder_Of(path);
    return true;
}

}  // namespace qev
