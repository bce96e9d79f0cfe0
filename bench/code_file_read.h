#ifndef QEV_BENCH_CODE_FILE_READ_H
#define QEV_BENCH_CODE_FILE_READ_H

#include <string>

namespace qev::bench {

struct TRead_Options {
    int Rounds = 21;  // runs of each command; the median is reported
    // Where the generated files go; empty: a new directory under $TMPDIR
    // (or /tmp), removed afterwards. A given directory keeps them.
    std::string Directory;
};

// Writes a large Flipper file and a large lircd.conf (the same bytes on
// every run), then times `qev-ir decode` and `qev-ir convert` on each beside
// `cat` of the same file, as whole processes, and prints the medians and
// their ratios. Returns 0 when every run of qev-ir succeeded.
int Run_Code_File_Read(const TRead_Options& options);

}  // namespace qev::bench

#endif
