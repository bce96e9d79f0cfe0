// Scratch folders and environment variables that tidy up after a test.
#ifndef QEV_TESTS_SUPPORT_TEMP_ENV_H
#define QEV_TESTS_SUPPORT_TEMP_ENV_H

#include <optional>
#include <string>

namespace qev::test {

class TTemp_Dir {
public:
    TTemp_Dir();
    ~TTemp_Dir();
    TTemp_Dir(const TTemp_Dir&) = delete;
    TTemp_Dir& operator=(const TTemp_Dir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets (or with nullopt unsets) an environment variable for its lifetime.
class TEnv_Guard {
public:
    TEnv_Guard(std::string name, std::optional<std::string> value);
    ~TEnv_Guard();
    TEnv_Guard(const TEnv_Guard&) = delete;
    TEnv_Guard& operator=(const TEnv_Guard&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

std::string Read_File(const std::string& path);
void Write_File(const std::string& path, const std::string& data);
bool File_Exists(const std::string& path);
// In a child process about to write: a file-size limit of `bytes` with
// SIGXFSZ at its default action (which ends a process that writes past the
// limit), as a user's `ulimit -f` leaves them. false when refused.
bool Limit_File_Size(unsigned long bytes);
// `text` as one word of a shell command line, whatever it holds (blanks, quotes).
std::string Shell_Quoted(const std::string& text);

}  // namespace qev::test

#endif
