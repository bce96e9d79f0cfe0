// Where the Command table's rows came from: the Command file loaded last,
// and whether rows were added since the table was last loaded, saved or
// cleared.
#ifndef QEV_APP_CORE_TABLE_ORIGIN_H
#define QEV_APP_CORE_TABLE_ORIGIN_H

#include <string>

namespace qev {

class TTable_Origin {
public:
    // The Command file loaded last, as its path was given (the file whose
    // name the status bar shows); empty until one is.
    const std::string& Command_File_Path() const { return command_file_path_; }
    // The table holds commands learned or imported since it was last loaded
    // from or saved to a Command file (or cleared): a load from the network
    // would lose them, so it is refused meanwhile.
    bool Unsaved_Rows() const { return unsaved_rows_; }

    // A Command file was opened for reading.
    void File_Opened(const std::string& path) { command_file_path_ = path; }
    // Commands were learned or imported.
    void Rows_Added() { unsaved_rows_ = true; }
    // The table was read from or written to a Command file, or cleared: it
    // holds nothing that a file does not.
    void Rows_Kept() { unsaved_rows_ = false; }

private:
    std::string command_file_path_;
    bool unsaved_rows_ = false;
};

}  // namespace qev

#endif
