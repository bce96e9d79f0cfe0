// Test entry: widgets need a QApplication. The offscreen platform is chosen
// before it exists, because test discovery runs this binary during the build,
// where there is no display.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
