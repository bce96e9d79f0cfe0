// Saving files: the old file survives every failure, a save fails exactly
// where writing the file itself would, and what the owner set up (mode,
// links) stays. Permission cases run as an ordinary user (see unprivileged.h).
#include "base/atomic_file.h"
#include "tests/support/temp_env.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

namespace qev {
namespace {

using test::Give_To_Test_User;
using test::Read_File;
using test::Run_Unprivileged;
using test::TTemp_Dir;
using test::Write_File;

namespace fs = std::filesystem;

mode_t Mode_Of(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

std::size_t Entries(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(Atomic_File, An_Abandoned_Write_Leaves_The_Old_File_Whole) {
    TTemp_Dir dir;
    const std::string path = dir.File("table.rmt");
    Write_File(path, "old contents\n");
    {
        TAtomic_File_Writer writer(path);
        ASSERT_TRUE(writer.Is_Open());
        writer.Write("new contents that never land\n");
        // destroyed without Commit, as after a failed write
    }
    EXPECT_EQ(Read_File(path), "old contents\n");
    EXPECT_EQ(Entries(dir.Path()), 1u);
}

TEST(Atomic_File, Commit_Replaces_Contents_And_Keeps_The_Mode) {
    TTemp_Dir dir;
    const std::string path = dir.File("table.rmt");
    Write_File(path, "old");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(Replace_File_Contents(path, std::string(3 << 20, 'x')));  // larger than the write buffer
    EXPECT_EQ(Read_File(path).size(), std::size_t{3} << 20);
    EXPECT_EQ(Mode_Of(path), 0640u);
    EXPECT_EQ(Entries(dir.Path()), 1u);
}

TEST(Atomic_File, A_New_File_Gets_The_Mode_The_Umask_Allows) {
    TTemp_Dir dir;
    const mode_t old_mask = ::umask(027);
    ASSERT_TRUE(Replace_File_Contents(dir.File("new.rmt"), "x"));
    ::umask(old_mask);
    EXPECT_EQ(Mode_Of(dir.File("new.rmt")), 0640u);
}

TEST(Atomic_File, What_Cannot_Be_Written_Fails_Cleanly) {
    TTemp_Dir dir;
    fs::create_directory(dir.File("folder.rmt"));
    struct Row {
        const char* name;
        std::string path;
        int error;
    };
    for (const Row& row :
         {Row{"missing folder", "/nonexistent-folder-for-qev/x.ini", ENOENT},
          Row{"a folder of that name", dir.File("folder.rmt"), EISDIR}, Row{"a device", "/dev/null", EINVAL}}) {
        SCOPED_TRACE(row.name);
        int error = 0;
        EXPECT_FALSE(Replace_File_Contents(row.path, "data", &error));
        EXPECT_EQ(error, row.error);
    }
    EXPECT_EQ(Entries(dir.Path()), 1u) << "no temporary file left behind";
}

TEST(Atomic_File, A_Link_Is_Followed_And_Stays_A_Link) {
    TTemp_Dir dir;
    fs::create_directory(dir.File("real"));
    Write_File(dir.File("real/tv.rmt"), "old");
    fs::create_symlink("real/tv.rmt", dir.File("tv.rmt"));          // relative, as people make them
    fs::create_symlink(dir.File("tv.rmt"), dir.File("again.rmt"));  // a link to the link
    ASSERT_TRUE(Replace_File_Contents(dir.File("again.rmt"), "new"));
    EXPECT_TRUE(fs::is_symlink(dir.File("tv.rmt")));
    EXPECT_TRUE(fs::is_symlink(dir.File("again.rmt")));
    EXPECT_EQ(Read_File(dir.File("real/tv.rmt")), "new");

    fs::create_symlink("real/later.rmt", dir.File("dangling.rmt"));
    ASSERT_TRUE(Replace_File_Contents(dir.File("dangling.rmt"), "made"));
    EXPECT_TRUE(fs::is_symlink(dir.File("dangling.rmt")));
    EXPECT_EQ(Read_File(dir.File("real/later.rmt")), "made") << "a dangling link's target is created";
}

TEST(Atomic_File, A_File_With_Several_Names_Changes_Under_All_Of_Them) {
    TTemp_Dir dir;
    Write_File(dir.File("a.rmt"), "old");
    fs::create_hard_link(dir.File("a.rmt"), dir.File("b.rmt"));
    ASSERT_TRUE(Replace_File_Contents(dir.File("a.rmt"), "new and longer"));
    EXPECT_EQ(Read_File(dir.File("b.rmt")), "new and longer");
    ASSERT_TRUE(Replace_File_Contents(dir.File("b.rmt"), "short"));
    EXPECT_EQ(Read_File(dir.File("a.rmt")), "short");
    EXPECT_EQ(fs::hard_link_count(dir.File("a.rmt")), 2u);
}

// The permission cases, as an ordinary user: each row sets up the folder
// and the file, then saves from a process without root.
TEST(Atomic_File, A_Save_Fails_Where_Writing_The_File_Would) {
    struct Row {
        const char* name;
        mode_t folder_mode;
        mode_t file_mode;  // 0: no file there yet
        bool saved;
        int error;
    };
    const Row rows[] = {
        {"write-protected file", 0755, 0444, false, EACCES},
        {"write-protected file in a read-only folder", 0555, 0444, false, EACCES},
        {"new file in a read-only folder", 0555, 0, false, EACCES},
        {"writable file in a read-only folder", 0555, 0644, true, 0},
        {"writable file", 0755, 0600, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TTemp_Dir dir;
        const std::string folder = dir.File("f"), path = dir.File("f/x.rmt");
        fs::create_directory(folder);
        if (row.file_mode != 0) {
            Write_File(path, "old bytes\r\n");
            Give_To_Test_User(path);
            ::chmod(path.c_str(), row.file_mode);
        }
        Give_To_Test_User(dir.Path());
        Give_To_Test_User(folder);
        ::chmod(folder.c_str(), row.folder_mode);
        const int result = Run_Unprivileged([&] {
            int error = 0;
            const bool saved = Replace_File_Contents(path, "new", &error);
            return saved ? 0 : 100 + error;
        });
        ::chmod(folder.c_str(), 0755);
        EXPECT_EQ(result, row.saved ? 0 : 100 + row.error);
        if (row.file_mode != 0) {
            EXPECT_EQ(Read_File(path), row.saved ? "new" : "old bytes\r\n");
            EXPECT_EQ(Mode_Of(path), row.file_mode);
        } else {
            EXPECT_FALSE(fs::exists(path));
        }
        EXPECT_EQ(Entries(folder), row.file_mode != 0 ? 1u : 0u) << "no temporary file left behind";
    }
}

TEST(Atomic_File, Check_Writable_Asks_As_A_Save_Would) {
    TTemp_Dir dir;
    Write_File(dir.File("ro.ini"), "x");
    Write_File(dir.File("rw.ini"), "x");
    for (const char* name : {"ro.ini", "rw.ini"}) Give_To_Test_User(dir.File(name));
    Give_To_Test_User(dir.Path());
    ::chmod(dir.File("ro.ini").c_str(), 0444);
    const int result = Run_Unprivileged([&] {
        int error = 0;
        const int refused = Check_Writable(dir.File("ro.ini"), &error) ? 0 : 1;
        const int allowed = Check_Writable(dir.File("rw.ini")) ? 0 : 2;
        const int missing = Check_Writable(dir.File("new.ini")) ? 0 : 4;
        return (refused == 1 && error == EACCES ? 0 : 8) | allowed | missing;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Read_File(dir.File("ro.ini")), "x");
}

TEST(Atomic_File, A_Full_Disk_Keeps_The_Old_File) {
    // A file-size limit makes the write fail the way a full disk does, both
    // through the temporary file and when a file with two names is
    // rewritten in place (its old contents are put back).
    for (const bool in_place : {false, true}) {
        SCOPED_TRACE(in_place ? "rewritten in place" : "temporary file");
        TTemp_Dir dir;
        const std::string path = dir.File("big.rmt");
        Write_File(path, "old bytes\r\n");
        if (in_place) fs::create_hard_link(path, dir.File("other name.rmt"));
        rlimit old_limit{};
        ::getrlimit(RLIMIT_FSIZE, &old_limit);
        const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_limit;
        small.rlim_cur = 4096;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        int error = 0;
        const bool saved = Replace_File_Contents(path, std::string(3 << 20, 'x'), &error);
        ::setrlimit(RLIMIT_FSIZE, &old_limit);
        std::signal(SIGXFSZ, old_handler);
        EXPECT_FALSE(saved);
        EXPECT_EQ(error, EFBIG);
        EXPECT_EQ(Read_File(path), "old bytes\r\n");
        EXPECT_EQ(Entries(dir.Path()), in_place ? 2u : 1u);
    }
}

}  // namespace
}  // namespace qev
