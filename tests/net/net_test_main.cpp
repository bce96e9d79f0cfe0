// Entry of the server's tests: a QCoreApplication, so the socket tests have
// an event loop; the byte handling's tests need none.
#include <gtest/gtest.h>
#include <QCoreApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
