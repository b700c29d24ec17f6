#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "common/RuntimeFolder.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    lumaro::UsePrivateRuntimeFolder();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
