// One main for every test program: widget tests run on the offscreen platform
// unless the caller chose another one.

#include <gtest/gtest.h>

#ifdef GAVREL_TEST_WITH_QT
#include <QApplication>
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#ifdef GAVREL_TEST_WITH_QT
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gavrel"));
#endif
    return RUN_ALL_TESTS();
}
