// Entry of the widget tests: a QApplication on Qt's offscreen platform, chosen
// before the application exists because test discovery runs the binaries
// during the build, where there is no display.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
