// Targets: GetPrivateProfileStringA from a 100-section INI file and RegQueryValueExA from a
// 1,000-key hive, under 50 us per call each. For information: the same reads right after
// the file changed (read and parsed again), and a write (locked, flushed, renamed).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

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

}  // namespace
