#include <gtest/gtest.h>

#include <QApplication>

// Every test binary runs with a GUI application object (images, message boxes) on the offscreen
// platform, so no display is needed.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
