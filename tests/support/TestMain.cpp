#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt wants a private runtime folder; CTest lists the tests by running them, often
    // outside a desktop session.
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const std::string dir = "/tmp/lumaro-runtime-" + std::to_string(getuid());
        QDir().mkpath(QString::fromStdString(dir));
        QFile::setPermissions(QString::fromStdString(dir),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
