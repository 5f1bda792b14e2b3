// Entry point of every test program: a QApplication on the offscreen platform (unless the
// environment names another) and an initialised GStreamer, then GoogleTest.
#include <QApplication>
#include <gst/gst.h>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
