// The socket file of the Unix-domain listener: where a setting puts it,
// what may already lie at its path, its mode, and its removal.
#include "net/unix_socket_file.h"
#include "tests/net/loopback_client.h"
#include "tests/support/temp_env.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qev {
namespace {

using test::Read_File;
using test::TTemp_Dir;
using test::Write_File;

TEST(Unix_Socket_Path, A_Relative_Setting_Lies_In_The_Runtime_Folder) {
    struct Row {
        const char* name;
        const char* setting;
        const char* runtime_folder;  // null: unset
        bool resolved;
        const char* path;  // or a piece of the error
    };
    const std::vector<Row> rows = {
        {"empty_is_none", "", "/run/user/1000", true, ""},
        {"empty_without_runtime_folder", "", nullptr, true, ""},
        {"absolute_as_it_is", "/tmp/x/lircd", "/run/user/1000", true, "/tmp/x/lircd"},
        {"absolute_without_runtime_folder", "/tmp/x/lircd", nullptr, true, "/tmp/x/lircd"},
        {"relative", "lircd", "/run/user/1000", true, "/run/user/1000/lircd"},
        {"relative_in_a_subfolder", "lirc/lircd", "/run/user/1000", true, "/run/user/1000/lirc/lircd"},
        {"runtime_folder_with_a_slash", "lircd", "/run/user/1000/", true, "/run/user/1000/lircd"},
        {"runtime_folder_is_root", "lircd", "/", true, "/lircd"},
        {"no_runtime_folder", "lircd", nullptr, false, "XDG_RUNTIME_DIR is not set"},
        {"runtime_folder_not_absolute", "lircd", "run/user", false, "XDG_RUNTIME_DIR is not set"},
        {"runtime_folder_empty", "lircd", "", false, "XDG_RUNTIME_DIR is not set"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = "before", error;
        EXPECT_EQ(Unix_Socket_Path(row.setting, row.runtime_folder, &path, &error), row.resolved);
        if (row.resolved)
            EXPECT_EQ(path, row.path);
        else
            EXPECT_NE(error.find(row.path), std::string::npos) << error;
    }
}

// A socket bound at `path`, listening or not; closed at the end of the test,
// and its file left behind as a crashed run leaves it.
class TOther_Socket {
public:
    TOther_Socket(const std::string& path, bool listening) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.data(), path.size());
        bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                 (!listening || ::listen(fd_, 4) == 0);
        if (!listening) Close();
    }
    ~TOther_Socket() { Close(); }
    bool Bound() const { return bound_; }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    bool bound_ = false;
};

struct TFile_Kind {
    bool exists = false;
    bool socket = false;
    bool link = false;
    ino_t inode = 0;
};
TFile_Kind Kind_Of(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return {};
    return {
        .exists = true, .socket = S_ISSOCK(status.st_mode), .link = S_ISLNK(status.st_mode), .inode = status.st_ino};
}

TEST(Listen_Unix_Socket, A_Stale_Socket_Is_Replaced_And_Nothing_Else_Is_Touched) {
    TTemp_Dir folder;
    const std::string path = folder.File("lircd");
    std::vector<std::unique_ptr<TOther_Socket>> others;
    struct Row {
        const char* name;
        std::function<void()> prepare;  // what lies at the path before
        bool opened;
        const char* error;                       // a piece of it
        std::function<void()> check_left_alone;  // when refused: what was there is still there
    };
    const std::vector<Row> rows = {
        {"nothing_there", [] {}, true, "", nullptr},
        {"stale_socket",
         [&] {
             others.push_back(std::make_unique<TOther_Socket>(path, false));
             ASSERT_TRUE(others.back()->Bound());
             // A second name keeps the stale file's inode from being reused.
             ASSERT_EQ(::link(path.c_str(), folder.File("stale").c_str()), 0);
         },
         true, "", nullptr},
        {"live_socket",
         [&] {
             others.push_back(std::make_unique<TOther_Socket>(path, true));
             ASSERT_TRUE(others.back()->Bound());
         },
         false, "another program listens on",
         [&] {
             const int fd = test::Connect_Unix(path);
             EXPECT_GE(fd, 0) << "the other program still listens there";
             if (fd >= 0) ::close(fd);
         }},
        {"regular_file", [&] { Write_File(path, "notes\n"); }, false, "exists and is not a socket",
         [&] { EXPECT_EQ(Read_File(path), "notes\n"); }},
        {"folder", [&] { ASSERT_EQ(::mkdir(path.c_str(), 0700), 0); }, false, "exists and is not a socket",
         [&] {
             struct stat status {};
             EXPECT_TRUE(::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode));
         }},
        {"link_to_a_stale_socket",
         [&] {
             others.push_back(std::make_unique<TOther_Socket>(folder.File("target"), false));
             ASSERT_TRUE(others.back()->Bound());
             ASSERT_EQ(::symlink(folder.File("target").c_str(), path.c_str()), 0);
         },
         false, "exists and is not a socket",
         [&] {
             EXPECT_TRUE(Kind_Of(path).link);
             EXPECT_TRUE(Kind_Of(folder.File("target")).socket);
         }},
        {"dangling_link", [&] { ASSERT_EQ(::symlink(folder.File("nowhere").c_str(), path.c_str()), 0); }, false,
         "exists and is not a socket",
         [&] {
             EXPECT_TRUE(Kind_Of(path).link);
             EXPECT_FALSE(Kind_Of(folder.File("nowhere")).exists) << "nothing made through the link";
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(path);
        std::filesystem::remove_all(folder.File("target"));
        std::filesystem::remove_all(folder.File("stale"));
        others.clear();
        row.prepare();
        const ino_t before = Kind_Of(path).inode;  // 0: nothing there
        TSocket_File_Identity identity;
        std::string error;
        const int fd = Listen_Unix_Socket(path, 4, &identity, &error);
        EXPECT_EQ(fd >= 0, row.opened) << error;
        if (fd >= 0) {
            EXPECT_TRUE(Kind_Of(path).socket);
            EXPECT_EQ(Kind_Of(path).inode, identity.Inode);
            if (Kind_Of(folder.File("stale")).exists) {
                EXPECT_NE(identity.Inode, Kind_Of(folder.File("stale")).inode) << "a new socket file";
            }
            const int client = test::Connect_Unix(path);
            EXPECT_GE(client, 0) << "it listens";
            if (client >= 0) ::close(client);
            ::close(fd);
            Remove_Socket_File(path, identity);
            EXPECT_FALSE(Kind_Of(path).exists) << "removed on close";
        } else {
            EXPECT_NE(error.find(row.error), std::string::npos) << error;
            EXPECT_NE(error.find(path), std::string::npos) << "the message names the path: " << error;
            EXPECT_EQ(Kind_Of(path).inode, before) << "the same file is still there";
            row.check_left_alone();
        }
    }
}

TEST(Listen_Unix_Socket, A_Path_That_Cannot_Hold_A_Socket_Is_Refused_With_The_Reason) {
    TTemp_Dir folder;
    struct Row {
        const char* name;
        std::string path;
        const char* error;
    };
    const std::string long_name(Unix_Socket_Path_Limit, 'x');
    const std::vector<Row> rows = {
        {"too_long", folder.File(long_name), "at most 107 bytes"},
        {"folder_missing", folder.File("none/lircd"), "No such file or directory"},
        {"empty", "", "no socket path"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string error;
        EXPECT_EQ(Listen_Unix_Socket(row.path, 4, nullptr, &error), -1);
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
    }
    // The longest path that fits is taken.
    std::string longest = folder.Path() + "/";
    longest += std::string(Unix_Socket_Path_Limit - longest.size(), 'y');
    std::string error;
    TSocket_File_Identity identity;
    const int fd = Listen_Unix_Socket(longest, 4, &identity, &error);
    ASSERT_GE(fd, 0) << error;
    ::close(fd);
    Remove_Socket_File(longest, identity);
}

// Whatever the umask lets through, the file is the owner's only.
TEST(Listen_Unix_Socket, The_Socket_File_Is_The_Owners_Only_Whatever_The_Umask) {
    TTemp_Dir folder;
    for (const mode_t mask : {mode_t{0}, mode_t{022}, mode_t{077}}) {
        SCOPED_TRACE(mask);
        const mode_t saved = ::umask(mask);
        TSocket_File_Identity identity;
        std::string error;
        const int fd = Listen_Unix_Socket(folder.File("lircd"), 4, &identity, &error);
        ::umask(saved);
        ASSERT_GE(fd, 0) << error;
        struct stat status {};
        ASSERT_EQ(::lstat(folder.File("lircd").c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, Unix_Socket_Mode);
        EXPECT_EQ(status.st_uid, ::geteuid());
        ::close(fd);
        Remove_Socket_File(folder.File("lircd"), identity);
    }
}

// A run removes its own file only: one another run has put at the path
// since (after removing the first) stays.
TEST(Remove_Socket_File, Removes_Only_The_File_It_Made) {
    TTemp_Dir folder;
    const std::string path = folder.File("lircd");
    TSocket_File_Identity first, second;
    std::string error;
    const int first_fd = Listen_Unix_Socket(path, 4, &first, &error);
    ASSERT_GE(first_fd, 0) << error;
    ASSERT_EQ(::unlink(path.c_str()), 0);
    const int second_fd = Listen_Unix_Socket(path, 4, &second, &error);
    ASSERT_GE(second_fd, 0) << error;
    ::close(first_fd);
    Remove_Socket_File(path, first);
    EXPECT_EQ(Kind_Of(path).inode, second.Inode) << "the other run's socket stays";
    Remove_Socket_File(path, second);
    EXPECT_FALSE(Kind_Of(path).exists);
    ::close(second_fd);
    // A regular file that took the place of the socket stays too.
    const int third_fd = Listen_Unix_Socket(path, 4, &first, &error);
    ASSERT_GE(third_fd, 0) << error;
    ::close(third_fd);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    Write_File(path, "mine\n");
    Remove_Socket_File(path, first);
    EXPECT_EQ(Read_File(path), "mine\n");
}

}  // namespace
}  // namespace qev
