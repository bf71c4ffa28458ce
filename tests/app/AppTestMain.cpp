#include <gtest/gtest.h>

#include <QCoreApplication>

// The delegate posts its steps through the Qt event loop, so the tests run
// with a QCoreApplication on the main thread.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
