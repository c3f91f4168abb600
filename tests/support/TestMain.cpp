#include <cstdlib>

#include <QApplication>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// Freed memory is overwritten at once: a read of a freed object inside Qt (whose code is not
// instrumented) then meets garbage and crashes, instead of finding the old values intact.
extern "C" const char* __asan_default_options()
{
    return "max_free_fill_size=4096";
}
#endif

// Every test program runs with a QApplication on the offscreen platform, so widget tests
// need no display and no test can be stopped by a window that waits for a person.
int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
