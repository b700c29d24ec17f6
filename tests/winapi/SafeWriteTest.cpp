// Several processes writing one INI file and one hive, writers killed mid-write, and
// malformed files: nothing is lost, nothing is half-written, nothing crashes.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/RegTestUtil.h"
#include "support/TestSupport.h"
#include "winapi/RegistryStore.h"
#include "winapi/windows.h"

using namespace lumaro::test;
using namespace std::string_literals;

namespace {

std::string Profile(const std::string& file, const std::string& section, const std::string& key) {
    char buffer[256];
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "<none>", buffer,
                                       sizeof buffer, file.c_str());
    return std::string(buffer, n);
}

LONG SetKeyValue(const std::string& path, const std::string& text) {
    return StoreRegText(HKEY_LOCAL_MACHINE, path, "v", text);
}

std::string KeyValue(const std::string& path) { return LoadRegText(HKEY_LOCAL_MACHINE, path, "v"); }

// Runs `body` in `count` child processes started together; returns their exit codes.
template <class Body>
std::vector<int> RunProcesses(int count, Body body) {
    int gate[2];
    EXPECT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < count; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            close(gate[1]);
            char c;
            (void)!read(gate[0], &c, 1);  // wait until every child exists
            _exit(body(p));
        }
        children.push_back(pid);
    }
    close(gate[0]);
    close(gate[1]);  // end of file releases them all at once
    std::vector<int> codes;
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return codes;
}

// No temporary file and no lock file is left beside the files written.
bool NoSideFilesLeft(const std::filesystem::path& dir) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find("tmp-") != std::string::npos || entry.path().extension() == ".lock")
            return false;
    }
    return true;
}

}  // namespace

TEST(SafeWrites, FourProcessesKeepAllTheirKeys) {
    TempMachine machine;
    const std::string ini = machine.str() + "/shared.ini";
    constexpr int kProcesses = 4, kKeys = 200;
    auto value = [](int p, int i) { return "p" + std::to_string(p) + "-" + std::to_string(i); };
    auto codes = RunProcesses(kProcesses, [&](int p) {
        int failures = 0;
        for (int i = 0; i < kKeys; ++i) {
            const std::string v = value(p, i);
            failures +=
                !WritePrivateProfileStringA("Shared", ("K" + v).c_str(), v.c_str(), ini.c_str()) +
                (SetKeyValue("Software\\Shared\\K" + v, v) != ERROR_SUCCESS);
        }
        return failures;
    });
    EXPECT_EQ(codes, std::vector<int>(kProcesses, 0));
    int missing = 0;
    for (int p = 0; p < kProcesses; ++p)
        for (int i = 0; i < kKeys; ++i)
            missing += (Profile(ini, "shared", "K" + value(p, i)) != value(p, i)) +
                       (KeyValue("Software\\Shared\\K" + value(p, i)) != value(p, i));
    EXPECT_EQ(missing, 0);
    EXPECT_TRUE(NoSideFilesLeft(machine.path()));
}

// Empty (not written yet) or complete: CR LF at the end and every line of the expected form.
::testing::AssertionResult Complete(const std::string& content, const std::regex& line) {
    if (content.empty()) return ::testing::AssertionSuccess();
    if (content.size() < 2 || content.compare(content.size() - 2, 2, "\r\n") != 0)
        return ::testing::AssertionFailure() << "cut off after " << content.size() << " bytes";
    for (size_t pos = 0; pos < content.size();) {
        size_t end = content.find("\r\n", pos);
        std::string text = content.substr(pos, end - pos);
        if (!std::regex_match(text, line))
            return ::testing::AssertionFailure() << "bad line: " << text.substr(0, 80);
        pos = end + 2;
    }
    return ::testing::AssertionSuccess();
}

TEST(SafeWrites, KilledWritersNeverLeaveAHalfWrittenFile) {
    TempMachine machine;
    const std::string ini = machine.str() + "/killed.ini";
    const std::string hive = winapi::HiveFilePath(HKEY_LOCAL_MACHINE);
    const std::regex iniLine(R"(\[W\]|K\d+=value-\d+-x+)");
    const std::regex hiveLine(R"(Windows Registry Editor Version 5\.00|)"
                              R"(\[HKEY_LOCAL_MACHINE(\\Software(\\W(\\K\d+)?)?)?\]|)"
                              R"("v"="value-\d+-x+"|)");
    std::mt19937 random(12345);
    bool iniSeen = false, hiveSeen = false;
    for (int attempt = 0; attempt < 50; ++attempt) {
        pid_t pid = fork();
        if (pid == 0) {
            for (int i = 0;; ++i) {
                const std::string value =
                    "value-" + std::to_string(i) + "-" + std::string(2000 + i % 50, 'x');
                const std::string key = "K" + std::to_string(i % 40);
                WritePrivateProfileStringA("W", key.c_str(), value.c_str(), ini.c_str());
                SetKeyValue("Software\\W\\" + key, value);
            }
        }
        // Readers take no lock: whatever they read while the writer works is a whole file,
        // and once a file exists it never reads as empty again.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::microseconds(2000 + random() % 30000);
        ::testing::AssertionResult whole = ::testing::AssertionSuccess();
        do {
            std::string iniText = ReadFile(ini), hiveText = ReadFile(hive);
            if (whole) whole = Complete(iniText, iniLine);
            if (whole) whole = Complete(hiveText, hiveLine);
            if ((iniSeen && iniText.empty()) || (hiveSeen && hiveText.empty()))
                whole = ::testing::AssertionFailure() << "a file read as empty again";
            iniSeen = iniSeen || !iniText.empty();
            hiveSeen = hiveSeen || !hiveText.empty();
        } while (whole && std::chrono::steady_clock::now() < deadline);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        ASSERT_TRUE(whole) << "attempt " << attempt << ", while writing";
        // Whatever the moment of death, both files are whole.
        ASSERT_TRUE(Complete(ReadFile(ini), iniLine)) << "attempt " << attempt;
        ASSERT_TRUE(Complete(ReadFile(hive), hiveLine)) << "attempt " << attempt;
    }
    EXPECT_TRUE(iniSeen && hiveSeen);
    // The next write clears what the killed writers left behind and is not blocked by them.
    EXPECT_TRUE(WritePrivateProfileStringA("W", "after", "1", ini.c_str()));
    EXPECT_EQ(SetKeyValue("Software\\W\\after", "1"), ERROR_SUCCESS);
    EXPECT_TRUE(NoSideFilesLeft(machine.path()));
}

TEST(MalformedFiles, IniFilesAreReadAsFarAsPossibleAndKeptOnWrite) {
    const std::string longLine(10 * 1024 * 1024, 'x');
    std::string garbage;
    std::mt19937 random(7);
    for (int i = 0; i < 100000; ++i) garbage.push_back(char(random()));
    struct Case {
        const char* name;
        std::string content;
        const char* section;
        const char* key;
        std::string expected;
    } cases[] = {
        {"binary garbage", garbage, "S", "K", "<none>"},
        {"10 MB line", "[S]\r\n" + longLine + "\r\nk=v\r\n", "S", "k", "v"},
        {"10 MB value", "[S]\r\nk=" + longLine + "\r\n", "S", "k", longLine.substr(0, 255)},
        {"NUL byte", "[S]\r\nk=a\0b\r\nk2=v\r\n"s, "S", "k2", "v"},
        {"NUL byte entry", "[S]\r\nk=a\0b\r\nk2=v\r\n"s, "S", "k", "<none>"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string file = dir.str() + "/bad.ini";
        WriteFile(file, c.content);
        EXPECT_EQ(Profile(file, c.section, c.key), c.expected) << c.name;
        char list[64];
        GetPrivateProfileStringA(nullptr, nullptr, "", list, sizeof list, file.c_str());
        ASSERT_TRUE(WritePrivateProfileStringA("Added", "new", "1", file.c_str())) << c.name;
        const std::string after = ReadFile(file);
        EXPECT_EQ(after.compare(0, c.content.size(), c.content), 0)
            << c.name << ": original bytes lost";
        EXPECT_EQ(Profile(file, "Added", "new"), "1") << c.name;
    }
}

TEST(MalformedFiles, HivesAreReadAsFarAsPossibleAndNeverDestroyed) {
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    std::string deep = "[HKEY_LOCAL_MACHINE";
    for (int i = 0; i < 2000; ++i) deep += "\\d";
    deep += "]";
    const std::string longText(10 * 1024 * 1024, 'y');
    const std::string head = header + "[HKEY_LOCAL_MACHINE\\Good]\r\n", ok = "\"v\"=\"ok\"\r\n";
    const std::string good = head.substr(header.size()) + ok;
    struct Case {
        const char* name;
        std::string content;
        std::string keptLine;  // a line that must survive the next write ("" = none)
    } cases[] = {
        {"bad hex", head + ok + "\"x\"=hex:zz,01\r\n", "\"x\"=hex:zz,01"},
        {"header without ]", header + "[HKEY_LOCAL_MACHINE\\Broken\r\n\"w\"=\"1\"\r\n" + good,
         "[HKEY_LOCAL_MACHINE\\Broken"},
        {"NUL byte", head + "\"n\"=\"a\0b\"\r\n"s + ok, "\"n\"=\"a\0b\""s},
        {"comment and junk", header + "; a comment\r\njunk\r\n" + good, "junk"},
        {"too deep", header + deep + "\r\n" + good, deep},
        {"10 MB line", head + "\"long\"=\"" + longText + "\"\r\n" + ok, ""},
        {"registry editor's UTF-16 export", Utf16(head + ok), ""},
    };
    for (const Case& c : cases) {
        TempMachine machine;
        const std::string hive = winapi::HiveFilePath(HKEY_LOCAL_MACHINE);
        WriteFile(hive, c.content);
        ASSERT_EQ(SetKeyValue("Added", "1"), ERROR_SUCCESS) << c.name;
        const std::string after = ReadFile(hive);
        EXPECT_TRUE(c.keptLine.empty() || after.find(c.keptLine + "\r\n") != std::string::npos)
            << c.name;
        EXPECT_EQ(KeyValue("Good") + "|" + KeyValue("Added"), "ok|1") << c.name;
    }

    // A file that is no hive at all (key lines without the header) is neither used nor
    // overwritten.
    TempMachine machine;
    const std::string hive = winapi::HiveFilePath(HKEY_LOCAL_MACHINE);
    WriteFile(hive, "[HKEY_LOCAL_MACHINE\\NoHeader]\r\n");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "NoHeader", 0, KEY_READ, &key), ERROR_BADDB);
    EXPECT_EQ(SetKeyValue("Added", "1"), ERROR_BADDB);
    EXPECT_EQ(ReadFile(hive), "[HKEY_LOCAL_MACHINE\\NoHeader]\r\n");
}
