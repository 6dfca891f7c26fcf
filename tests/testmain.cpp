// One main for every test program: widget tests run on the offscreen platform
// unless the caller chose another one.

#include <gtest/gtest.h>

#ifdef GAVREL_TEST_WITH_QT
// Standard library
#include <chrono>
#include <thread>

// Qt
#include <QApplication>
#include <QThreadPool>
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#ifdef GAVREL_TEST_WITH_QT
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gavrel"));
    const int result = RUN_ALL_TESTS();
    // Large image conversions run on Qt's thread pool. Its threads free their thread data as
    // they exit, just after waitForDone() has returned: the leak check at exit must not find
    // one halfway out.
    QThreadPool::globalInstance()->waitForDone();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return result;
#else
    return RUN_ALL_TESTS();
#endif
}
