// Opening files that people name for reading: only a readable regular file
// counts. A folder, a device or a pipe is refused at once (a folder would
// otherwise read as an empty file, and a pipe could wait for ever).
#ifndef QEV_BASE_REGULAR_FILE_H
#define QEV_BASE_REGULAR_FILE_H

#include <cstddef>
#include <string>

namespace qev {

// A descriptor open for reading, or -1 with errno in *error (EISDIR for a
// folder, EINVAL for anything else that is not a regular file).
int Open_Regular_File(const std::string& path, int* error = nullptr);

// Reads up to `size` bytes, retrying after signals; the count read, 0 at
// the end of the file, -1 on an error.
long Read_Some(int fd, char* data, std::size_t size);

// The whole of a regular file; false (with errno) when it cannot be read.
bool Read_Regular_File(const std::string& path, std::string& contents, int* error = nullptr);

}  // namespace qev

#endif
