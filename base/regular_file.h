// Opening files that people name for reading: only a readable regular file
// counts. A folder, a device or a pipe is refused at once (a folder would
// otherwise read as an empty file, and a pipe could wait for ever), and a
// file read whole must fit a size limit: a mistaken choice (a disk image, a
// 20 GB log) is refused before anything is read, instead of filling memory.
#ifndef QEV_BASE_REGULAR_FILE_H
#define QEV_BASE_REGULAR_FILE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qev {

// What Read_Regular_File takes in unless told otherwise: hundreds of times
// any text file the program reads whole (a Settings file, a macro file).
constexpr std::size_t Default_Read_Limit = std::size_t{16} << 20;

// A descriptor open for reading, or -1 with errno in *error (EISDIR for a
// folder, EINVAL for anything else that is not a regular file).
int Open_Regular_File(const std::string& path, int* error = nullptr);

// Reads up to `size` bytes, retrying after signals; the count read, 0 at
// the end of the file, -1 on an error.
long Read_Some(int fd, char* data, std::size_t size);

// The whole of a regular file; false (with errno) when it cannot be read,
// with EFBIG when it holds more than `limit` bytes (then nothing is read).
bool Read_Regular_File(const std::string& path, std::string& contents, int* error = nullptr,
                       std::size_t limit = Default_Read_Limit);

// The lines of a regular file, handed to `take` one at a time as the file
// is read in pieces, so that a large file needs room for its longest line
// only, not for all of it. A line comes without its '\n' (the last one also
// when it has none) and lasts only during the call; `take` returns false to
// read no further. false (with errno) when the file cannot be read, as
// Read_Regular_File: the lines already handed over are then to be dropped.
bool Read_Regular_File_Lines(const std::string& path, const std::function<bool(std::string_view)>& take,
                             int* error = nullptr, std::size_t limit = Default_Read_Limit);

// "512 bytes", "16.0 MB", "20.0 GB": a file size for a message.
std::string Size_Text(uint64_t bytes);

}  // namespace qev

#endif
