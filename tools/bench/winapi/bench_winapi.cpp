// Targets: GetPrivateProfileStringA from a 100-section INI file and RegQueryValueExA from a
// 1,000-key hive, under 50 us per call each. For information: the same reads right after
// the file changed (read and parsed again), and a write (locked, flushed, renamed).
//
// Costs that must stay flat as an installation grows, each for a demo-sized file beside a
// grown one: one RegSetValueExA (target under 60 ms at 100,000 keys), a read right after the
// process's own write (a few microseconds: no re-read, no re-parse), and the import of a
// registry file (100,000 values: one write per hive, under 5 s).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "admin/RegFile.h"
#include "winapi/RegistryStore.h"
#include "winapi/windows.h"

namespace {

// A temporary machine folder holding the two files, removed at exit.
struct Fixture {
    std::filesystem::path dir;
    std::string ini;

    Fixture() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumaro-bench-XXXXXX").string();
        dir = mkdtemp(pattern.data());
        setenv("LUMARO_MACHINE", dir.c_str(), 1);

        ini = (dir / "settings.ini").string();
        std::ofstream iniOut(ini, std::ios::binary);
        iniOut << "; 100 sections of 10 keys\r\n";
        for (int s = 0; s < 100; ++s) {
            iniOut << "[Company" << s << "]\r\n";
            for (int k = 0; k < 10; ++k)
                iniOut << "Key" << k << "=Value of key " << k << " in company " << s << "\r\n";
            iniOut << "\r\n";
        }
        iniOut.close();

        std::ofstream hive(winapi::HiveFilePath(HKEY_LOCAL_MACHINE), std::ios::binary);
        hive << "Windows Registry Editor Version 5.00\r\n\r\n";
        for (int k = 0; k < 1000; ++k) {
            hive << "[HKEY_LOCAL_MACHINE\\Software\\Vendor\\Key" << k << "]\r\n"
                 << "\"Programs\"=\"C:\\\\Programs\\\\Vendor" << k << "\"\r\n"
                 << "\"Count\"=dword:" << std::hex << k << std::dec << "\r\n\r\n";
        }
        hive.close();
        // Files modified within the last moments are re-read on every call (see the
        // parse cache); measure the steady state.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Fixture& Files() {
    static Fixture fixture;
    return fixture;
}

void BM_GetPrivateProfileStringA(benchmark::State& state) {
    const std::string& ini = Files().ini;
    char buffer[8192];
    for (auto _ : state) {
        DWORD n =
            GetPrivateProfileStringA("company99", "KEY9", "", buffer, sizeof buffer, ini.c_str());
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_GetPrivateProfileStringA);

void BM_RegQueryValueExA(benchmark::State& state) {
    Files();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Key999", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        state.SkipWithError("key missing");
        return;
    }
    char buffer[256];
    for (auto _ : state) {
        DWORD size = sizeof buffer, type = 0;
        LONG rc = RegQueryValueExA(key, "programs", nullptr, &type,
                                   reinterpret_cast<LPBYTE>(buffer), &size);
        benchmark::DoNotOptimize(rc);
    }
    RegCloseKey(key);
}
BENCHMARK(BM_RegQueryValueExA);

// What the registry class does for every read: open, query, close.
void BM_RegOpenQueryClose(benchmark::State& state) {
    Files();
    char buffer[256];
    for (auto _ : state) {
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Key500", 0, KEY_QUERY_VALUE, &key);
        DWORD size = sizeof buffer, type = 0;
        LONG rc = RegQueryValueExA(key, "Programs", nullptr, &type,
                                   reinterpret_cast<LPBYTE>(buffer), &size);
        RegCloseKey(key);
        benchmark::DoNotOptimize(rc);
    }
}
BENCHMARK(BM_RegOpenQueryClose);

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every call sees a file whose bytes have just changed, so it reads and parses it again.
void BM_ReadsAfterAChange(benchmark::State& state) {
    const bool registry = state.range(0) == 1;
    const std::string path = registry ? winapi::HiveFilePath(HKEY_LOCAL_MACHINE) : Files().ini;
    const std::string original = Slurp(path);
    std::string versions[2] = {original, original};
    versions[1].back() = ' ';  // same size, different bytes
    char buffer[256];
    int turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << versions[turn ^= 1];
        state.ResumeTiming();
        if (registry) {
            HKEY key = nullptr;
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Key999", 0, KEY_QUERY_VALUE, &key);
            DWORD size = sizeof buffer;
            benchmark::DoNotOptimize(RegQueryValueExA(key, "programs", nullptr, nullptr,
                                                      reinterpret_cast<LPBYTE>(buffer), &size));
            RegCloseKey(key);
        } else {
            benchmark::DoNotOptimize(GetPrivateProfileStringA("company99", "KEY9", "", buffer,
                                                              sizeof buffer, path.c_str()));
        }
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << original;
    state.SetLabel(registry ? "RegOpenKeyExA+RegQueryValueExA, 1,000-key hive"
                            : "GetPrivateProfileStringA, 100 sections");
}
BENCHMARK(BM_ReadsAfterAChange)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_WritePrivateProfileStringA(benchmark::State& state) {
    const std::string& ini = Files().ini;
    int i = 0;
    for (auto _ : state) {
        std::string value = std::to_string(i++);
        benchmark::DoNotOptimize(
            WritePrivateProfileStringA("Company50", "Key5", value.c_str(), ini.c_str()));
    }
}
BENCHMARK(BM_WritePrivateProfileStringA)->Iterations(50)->Unit(benchmark::kMillisecond);

// A hive file of `keys` keys under Software\\Vendor, two values each, as an installation
// grows it; written straight to the file (not timed).
void WriteHive(HKEY root, const char* rootName, int keys) {
    std::ofstream hive(winapi::HiveFilePath(root), std::ios::binary | std::ios::trunc);
    hive << "Windows Registry Editor Version 5.00\r\n\r\n";
    for (int k = 0; k < keys; ++k) {
        hive << "[" << rootName << "\\Software\\Vendor\\Key" << k << "]\r\n"
             << "\"Programs\"=\"C:\\\\Programs\\\\Vendor" << k << "\"\r\n"
             << "\"Count\"=dword:" << std::hex << k << std::dec << "\r\n\r\n";
    }
}

HKEY OpenLastKey(HKEY root, int keys) {
    HKEY key = nullptr;
    const std::string path = "Software\\Vendor\\Key" + std::to_string(keys - 1);
    RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    return key;
}

// One RegSetValueExA into a hive of the given number of keys: locked, changed, written whole,
// flushed and renamed.
void BM_RegSetValueExA(benchmark::State& state) {
    const int keys = int(state.range(0));
    Files();
    WriteHive(HKEY_USERS, "HKEY_USERS", keys);
    HKEY key = OpenLastKey(HKEY_USERS, keys);
    int i = 0;
    const unsigned long writes = winapi::RegistryBatch::WriteCount();
    for (auto _ : state) {
        const std::string value = std::to_string(i++);
        benchmark::DoNotOptimize(RegSetValueExA(key, "Programs", 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(value.c_str()),
                                                DWORD(value.size() + 1)));
    }
    RegCloseKey(key);
    state.counters["writes/call"] =
        double(winapi::RegistryBatch::WriteCount() - writes) / double(state.iterations());
    state.SetLabel(
        std::to_string(keys) + "-key hive of " +
        std::to_string(std::filesystem::file_size(winapi::HiveFilePath(HKEY_USERS)) >> 10) +
        " KiB");
}
BENCHMARK(BM_RegSetValueExA)
    ->Arg(1000)
    ->Arg(100000)
    ->Iterations(20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// A read right after the process's own write: 0/1 an INI file of 100 or 10,000 sections (1,100
// or 110,000 lines), 2/3 a hive of 1,000 or 100,000 keys.
void BM_ReadAfterOwnWrite(benchmark::State& state) {
    const int which = int(state.range(0));
    Files();
    const bool registry = which >= 2;
    const bool grown = which % 2 == 1;
    const int keys = grown ? 100000 : 1000;
    const std::string ini = (Files().dir / (grown ? "grown.ini" : "small.ini")).string();
    HKEY key = nullptr;
    if (registry) {
        WriteHive(HKEY_USERS, "HKEY_USERS", keys);
        key = OpenLastKey(HKEY_USERS, keys);
    } else {
        std::ofstream out(ini, std::ios::binary);
        for (int s = 0; s < (grown ? 10000 : 100); ++s) {
            out << "[Company" << s << "]\r\n";
            for (int k = 0; k < 10; ++k) out << "Key" << k << "=Value " << k << "\r\n";
        }
    }
    char buffer[256];
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string value = std::to_string(i++);
        if (registry)
            RegSetValueExA(key, "Count", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           DWORD(value.size() + 1));
        else
            WritePrivateProfileStringA("Company50", "Key5", value.c_str(), ini.c_str());
        state.ResumeTiming();
        if (registry) {
            DWORD size = sizeof buffer;
            benchmark::DoNotOptimize(RegQueryValueExA(key, "Programs", nullptr, nullptr,
                                                      reinterpret_cast<LPBYTE>(buffer), &size));
        } else {
            benchmark::DoNotOptimize(GetPrivateProfileStringA("Company99", "Key9", "", buffer,
                                                              sizeof buffer, ini.c_str()));
        }
    }
    if (key) RegCloseKey(key);
    static const char* const labels[] = {"INI, 1,100 lines", "INI, 110,000 lines",
                                         "hive, 1,000 keys", "hive, 100,000 keys"};
    state.SetLabel(labels[which]);
}
BENCHMARK(BM_ReadAfterOwnWrite)->DenseRange(0, 3)->Iterations(30)->Unit(benchmark::kMicrosecond);

// `lumaro-admin registry import` of a file of the given number of values, 100 per key, into
// an empty HKEY_CURRENT_USER.
void BM_ImportRegText(benchmark::State& state) {
    const int values = int(state.range(0));
    Files();
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (int v = 0; v < values; ++v) {
        if (v % 100 == 0)
            text += "\r\n[HKEY_CURRENT_USER\\Software\\Imported\\Key" + std::to_string(v / 100) +
                    "]\r\n";
        text +=
            "\"Value" + std::to_string(v) + "\"=\"Text of value " + std::to_string(v) + "\"\r\n";
    }
    const unsigned long writes = winapi::RegistryBatch::WriteCount();
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(winapi::HiveFilePath(HKEY_CURRENT_USER));
        state.ResumeTiming();
        benchmark::DoNotOptimize(lumaro::ImportRegText(text).values);
    }
    state.counters["writes/import"] =
        double(winapi::RegistryBatch::WriteCount() - writes) / double(state.iterations());
    state.SetLabel(std::to_string(values) + " values in " + std::to_string(values / 100) + " keys");
}
BENCHMARK(BM_ImportRegText)
    ->Arg(1000)
    ->Arg(100000)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
