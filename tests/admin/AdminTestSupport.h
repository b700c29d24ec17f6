#pragma once
// Running lumaro-admin as a process, and a demo installation shared by a test suite.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QProcess>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace lumaro::test {

struct AdminRun {
    int code = -1;
    std::string out;
    std::string err;
    QJsonDocument Json() const { return QJsonDocument::fromJson(QByteArray::fromStdString(out)); }
};

// Runs the built tool with `args` (in the machine folder of $LUMARO_MACHINE), feeding
// `input` to its standard input.
inline AdminRun RunAdmin(const std::vector<std::string>& args, const std::string& input = {}) {
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    QProcess process;
    process.start(QStringLiteral(LUMARO_ADMIN_EXE), list);
    AdminRun run;
    if (!process.waitForStarted(30000)) return run;
    process.write(QByteArray::fromStdString(input));
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) return run;
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

inline std::string Describe(const AdminRun& r) {
    return "exit " + std::to_string(r.code) + "\nstdout: " + r.out + "\nstderr: " + r.err;
}

// Every file below a folder with its content (lock files left out): what "nothing
// changed" compares.
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".lock") continue;
        files[entry.path().string()] = ReadFile(entry.path());
    }
    return files;
}

// The demo installation plus a company TEST, made once for the suite.
class AdminDemo : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        machine_ = new TempMachine;
        AdminRun demo = RunAdmin({"install", "demo"});
        ASSERT_EQ(demo.code, 0) << Describe(demo);
        AdminRun company = RunAdmin({"install", "company", "TEST", "--name", "Test company"});
        ASSERT_EQ(company.code, 0) << Describe(company);
    }
    static void TearDownTestSuite() {
        delete machine_;
        machine_ = nullptr;
    }
    static std::filesystem::path Machine() { return machine_->path(); }
    static std::filesystem::path IniFile() {
        return Machine() / "AccpacData/COMPANY/OstrelLumaro.ini";
    }
    static std::filesystem::path DemoDatabase() {
        return Machine() / "AccpacData/COMPANY/SAMLTD/SAMLTD.sqlite";
    }

    static inline TempMachine* machine_ = nullptr;
};

}  // namespace lumaro::test
