// Saving files: the old file survives every failure, a save fails exactly
// where writing the file itself would, and what the owner set up (mode,
// links) stays. Permission cases run as an ordinary user (see unprivileged.h).
#include "base/atomic_file.h"
#include "tests/support/temp_env.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

namespace qev {
namespace {

using test::Give_To_Test_User;
using test::Limit_File_Size;
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
        {"a folder that may not be searched", 0666, 0644, false, EACCES},
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

// A file-size limit fails the write the way a full disk does, both through
// the temporary file and when a file with two names is rewritten in place
// (its old contents are put back). Run in a child with SIGXFSZ at its
// default action, which ends a process that writes past the limit: the
// save must fail with EFBIG instead, the caller doing nothing about it.
TEST(Atomic_File, A_File_Size_Limit_Fails_The_Save_And_Keeps_The_Old_File) {
    for (const bool in_place : {false, true}) {
        SCOPED_TRACE(in_place ? "rewritten in place" : "temporary file");
        TTemp_Dir dir;
        const std::string path = dir.File("big.rmt");
        Write_File(path, "old bytes\r\n");
        if (in_place) fs::create_hard_link(path, dir.File("other name.rmt"));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (!Limit_File_Size(4096)) ::_exit(3);
            int error = 0;
            const bool saved = Replace_File_Contents(path, std::string(3 << 20, 'x'), &error);
            ::_exit(saved ? 1 : error == EFBIG ? 0 : 2);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WEXITSTATUS(status), 0) << "1: saved; 2: another error";
        EXPECT_EQ(Read_File(path), "old bytes\r\n");
        EXPECT_EQ(Entries(dir.Path()), in_place ? 2u : 1u) << "no temporary file left behind";
    }
}

// Names of up to 255 bytes are legal, and a save beside them must fit its
// temporary file too; longer names fail before anything is made.
TEST(Atomic_File, Any_Legal_Name_Can_Be_Saved) {
    for (const std::size_t length : {std::size_t{249}, std::size_t{255}}) {
        SCOPED_TRACE(length);
        TTemp_Dir dir;
        const std::string path = dir.File(std::string(length - 4, 'n') + ".rmt");
        ASSERT_TRUE(Replace_File_Contents(path, "first"));
        int error = 0;
        EXPECT_TRUE(Replace_File_Contents(path, "second", &error)) << std::strerror(error);
        EXPECT_EQ(Read_File(path), "second");
        EXPECT_EQ(Entries(dir.Path()), 1u);
    }
}

// What cannot even be examined is a failed save with the reason, and leaves
// nothing behind.
TEST(Atomic_File, A_Path_That_Cannot_Be_Examined_Fails_The_Save) {
    TTemp_Dir dir;
    Write_File(dir.File("plain"), "x");
    fs::create_symlink("loop", dir.File("loop"));
    fs::create_symlink("ring-b", dir.File("ring-a"));
    fs::create_symlink("ring-a", dir.File("ring-b"));
    struct Row {
        const char* name;
        std::string path;
        int error;
    };
    const std::vector<Row> rows = {
        {"a name of 256 bytes", dir.File(std::string(252, 'n') + ".rmt"), ENAMETOOLONG},
        {"a link to itself", dir.File("loop"), ELOOP},
        {"two links to each other", dir.File("ring-a"), ELOOP},
        {"a folder in a loop", dir.File("loop/x.rmt"), ELOOP},
        {"a file for a folder", dir.File("plain/x.rmt"), ENOTDIR},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int error = 0;
        EXPECT_FALSE(Replace_File_Contents(row.path, "data", &error));
        EXPECT_EQ(error, row.error) << std::strerror(error);
        EXPECT_FALSE(Check_Writable(row.path, &error));
        EXPECT_EQ(error, row.error) << std::strerror(error);
    }
    EXPECT_EQ(Entries(dir.Path()), 4u) << "nothing new in the folder";
}

// In a sticky, world-writable folder such as /tmp, a link is followed only
// when it belongs to the saving user or to the folder's owner, as the
// kernel's fs.protected_symlinks does; elsewhere any link is followed. Run
// as root, the user a planted link is aimed at, with links owned by nobody.
TEST(Atomic_File, A_Link_Planted_In_A_Shared_Folder_Is_Not_Followed) {
    if (::geteuid() != 0) GTEST_SKIP() << "links of another user need root to make";
    constexpr uid_t Nobody = 65534;
    struct Row {
        const char* name;
        mode_t folder_mode;
        uid_t folder_owner;
        uid_t first_link_owner;   // shared/x.rmt -> shared/hop
        uid_t second_link_owner;  // shared/hop -> the victim, outside
        bool followed;
    };
    const std::vector<Row> rows = {
        {"nobody's link in root's sticky folder", 01777, 0, 0, Nobody, false},
        {"nobody's link ahead of root's", 01777, 0, Nobody, 0, false},
        {"root's own links", 01777, 0, 0, 0, true},
        {"the folder owner's links", 01777, Nobody, Nobody, Nobody, true},
        {"a folder without the sticky bit", 0777, 0, Nobody, Nobody, true},
        {"a sticky folder others may not write", 01755, 0, Nobody, Nobody, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TTemp_Dir dir;
        const std::string shared = dir.File("shared"), victim = dir.File("victim.rmt");
        Write_File(victim, "root's file");
        fs::create_directory(shared);
        fs::create_symlink(shared + "/hop", shared + "/x.rmt");
        fs::create_symlink(victim, shared + "/hop");
        ASSERT_EQ(::lchown((shared + "/x.rmt").c_str(), row.first_link_owner, row.first_link_owner), 0);
        ASSERT_EQ(::lchown((shared + "/hop").c_str(), row.second_link_owner, row.second_link_owner), 0);
        ASSERT_EQ(::chown(shared.c_str(), row.folder_owner, row.folder_owner), 0);
        ASSERT_EQ(::chmod(shared.c_str(), row.folder_mode), 0);
        int error = 0;
        EXPECT_EQ(Check_Writable(shared + "/x.rmt", &error), row.followed);
        EXPECT_EQ(Replace_File_Contents(shared + "/x.rmt", "planted", &error), row.followed);
        EXPECT_EQ(error, row.followed ? 0 : EACCES);
        EXPECT_EQ(Read_File(victim), row.followed ? "planted" : "root's file");
        EXPECT_TRUE(fs::is_symlink(shared + "/x.rmt"));
        EXPECT_EQ(Entries(shared), 2u) << "the two links, nothing more";
    }
}

// The temporary files that saves are making at the moment (this process's
// children among them).
std::set<std::string> Temporary_Files(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (Is_Temporary_File_Name(name)) names.insert(name);
    }
    return names;
}

// A child that saves `size` bytes to `path`, tells `ready` once its
// temporary file holds some of them, then commits when `go` is readable
// (exiting 0 when the save worked) or waits to be killed. Killed and reaped
// when the test ends early.
class TSaving_Child {
public:
    TSaving_Child(const std::string& path, std::size_t size, int ready, int go) : pid_(::fork()) {
        if (pid_ != 0) return;
        TAtomic_File_Writer writer(path);
        const bool written = writer.Write(std::string(size, 'k')) && writer.Write("!");  // the first is flushed
        char byte = written ? 'w' : 'f';
        if (::write(ready, &byte, 1) != 1) ::_exit(3);
        if (::read(go, &byte, 1) != 1) ::_exit(4);
        ::_exit(writer.Commit() ? 0 : 1);
    }
    ~TSaving_Child() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        Wait();
    }
    TSaving_Child(const TSaving_Child&) = delete;
    TSaving_Child& operator=(const TSaving_Child&) = delete;
    bool Started() const { return pid_ > 0; }
    void Kill() { ::kill(pid_, SIGKILL); }
    // The exit status from waitpid.
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_;
};

struct TPipe {
    int Fd[2] = {-1, -1};
    TPipe() { EXPECT_EQ(::pipe(Fd), 0); }
    ~TPipe() {
        for (const int fd : Fd) ::close(fd);
    }
    TPipe(const TPipe&) = delete;
    TPipe& operator=(const TPipe&) = delete;
};

// A save killed part way leaves its temporary file; the next save in the
// folder removes it, and only it: not the file of a save still under way,
// nor files that only look alike, nor another user's.
TEST(Atomic_File, A_Save_Removes_What_A_Killed_Save_Left_And_Nothing_Else) {
    TTemp_Dir dir;
    TPipe ready, go;
    char byte = 0;
    const std::size_t size = std::size_t{2} << 20;  // over the write buffer: on disk at once

    TSaving_Child live(dir.File("live.rmt"), size, ready.Fd[1], go.Fd[0]);
    ASSERT_TRUE(live.Started());
    ASSERT_EQ(::read(ready.Fd[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'w');
    const std::set<std::string> live_files = Temporary_Files(dir.Path());
    ASSERT_EQ(live_files.size(), 1u);

    {
        TSaving_Child killed(dir.File("killed.rmt"), size, ready.Fd[1], go.Fd[0]);
        ASSERT_TRUE(killed.Started());
        ASSERT_EQ(::read(ready.Fd[0], &byte, 1), 1);
        ASSERT_EQ(byte, 'w');
        killed.Kill();
        killed.Wait();
    }
    ASSERT_EQ(Temporary_Files(dir.Path()).size(), 2u) << "the killed save's file stays behind";
    EXPECT_EQ(fs::file_size(dir.Path() + "/" + *live_files.begin()), size) << "the live save's file is intact";

    // Files that only look alike, and (as root) one of another user's.
    const std::vector<std::string> strangers = {".qev-save-short", ".qev-save-ABCD-FGH", "x.rmt.Ab3dEf"};
    for (const std::string& name : strangers) Write_File(dir.File(name), "keep");
    if (::geteuid() == 0) {
        Write_File(dir.File(".qev-save-NobodyS1"), "keep");
        Give_To_Test_User(dir.File(".qev-save-NobodyS1"));
    }

    ASSERT_TRUE(Replace_File_Contents(dir.File("next.rmt"), "next"));
    std::set<std::string> expected = live_files;
    if (::geteuid() == 0) expected.insert(".qev-save-NobodyS1");
    EXPECT_EQ(Temporary_Files(dir.Path()), expected);
    for (const std::string& name : strangers) EXPECT_EQ(Read_File(dir.File(name)), "keep") << name;

    ASSERT_EQ(::write(go.Fd[1], "g", 1), 1);
    const int status = live.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the live save still works";
    EXPECT_EQ(fs::file_size(dir.File("live.rmt")), size + 1);
    EXPECT_FALSE(fs::exists(dir.File("killed.rmt")));
}

}  // namespace
}  // namespace qev
