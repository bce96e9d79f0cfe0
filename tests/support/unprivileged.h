// Running a piece of a test as an ordinary user.
//
// Permission checks mean nothing to root, and CI runs the tests as root.
// Run_Unprivileged runs `body` in a child process that has given up root
// (user and group "nobody", no supplementary groups) and returns its result;
// when the tests already run as an ordinary user it simply calls `body`.
// Files the body must own are handed over with Give_To_Test_User.
#ifndef QEV_TESTS_SUPPORT_UNPRIVILEGED_H
#define QEV_TESTS_SUPPORT_UNPRIVILEGED_H

#include <functional>
#include <string>

namespace qev::test {

// The body's return value, or -1 when the child could not drop root or died.
int Run_Unprivileged(const std::function<int()>& body);

// Makes `path` belong to the user Run_Unprivileged runs as (nothing when the
// tests do not run as root).
void Give_To_Test_User(const std::string& path);

}  // namespace qev::test

#endif
