#include "tests/support/unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qev::test {

namespace {

constexpr uid_t Nobody = 65534;

bool Root() { return ::geteuid() == 0; }

}  // namespace

int Run_Unprivileged(const std::function<int()>& body) {
    if (!Root()) return body();
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) ::_exit(255);
        ::_exit(body() & 0xFF);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
}

void Give_To_Test_User(const std::string& path) {
    if (Root()) (void)!::chown(path.c_str(), Nobody, Nobody);
}

}  // namespace qev::test
