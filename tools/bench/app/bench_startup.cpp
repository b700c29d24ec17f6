// Start-up time of the program on the demo installation: from the start of a new process
// to the Quantity panel showing the first item of an order. The parent creates a demo
// installation in a temporary machine folder, then starts itself as a child process a
// number of times; each child runs the program's start-up as main() does, opens the first
// saved order and reports when the panel shows its item. Prints the median, p90 and the
// target, the child's peak memory and its registry writes; then the same for a copy of the
// installation whose machine registry has grown to 100,000 more keys (target: at most 1.2
// times the demo's time and 40 MiB more memory). The two are started in turn, so that a
// change in the machine's load weighs on both alike.

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "accpac/Platform.h"
#include "accpac/local/Installation.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
#include "accpac/local/ui/OrderEntryScreen.h"
#include "app/frmOEEntry.h"
#include "panel/QuantityPanel.h"
#include "platform/AccpacPaths.h"
#include "settings/ProgramSettings.h"
#include "winapi/RegistryStore.h"

namespace {

constexpr int kRuns = 7;
constexpr double kTargetMs = 1000.0;

// The child: the program's start-up, then the first saved order.
int RunChild(int argc, char** argv) {
    QApplication app(argc, argv);
    accpac::local::LocalGuiPlatform platform;
    accpac::Platform::Install(&platform);
    int rc = 1;
    {
        lumaro::frmOEEntry window("");
        window.Load();
        if (window.State() == lumaro::frmOEEntry::StartState::Running) {
            window.show();
            auto& panel = window.Panel();
            if (QTest::qWaitFor([&] { return panel.adsOEORDD() != nullptr; }, 5000)) {
                auto* screen =
                    qobject_cast<accpac::local::OrderEntryScreen*>(window.ctlDynamic()->Object());
                QComboBox* orders = screen->OrderNumberCombo();
                if (orders->count() > 1 && screen->OpenOrder(orders->itemText(1)) &&
                    QTest::qWaitFor(
                        [&] {
                            return panel.RememberedItemKey() != "~" &&
                                   !panel.RememberedItemKey().empty();
                        },
                        5000)) {
                    rusage usage{};
                    getrusage(RUSAGE_SELF, &usage);
                    std::printf("shown %s\nmaxrss %ld\nwrites %lu\n",
                                panel.RememberedItemKey().c_str(), usage.ru_maxrss,
                                winapi::RegistryBatch::WriteCount());
                    rc = 0;
                }
            }
        }
    }
    accpac::Platform::Install(nullptr);
    std::fflush(stdout);
    std::_Exit(rc);  // the measurement ends when the item shows
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--child") return RunChild(argc, argv);

    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char folder[] = "/tmp/lumaro-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("LUMARO_MACHINE", folder, 1);
    {
        QCoreApplication core(argc, argv);
        accpac::local::Installation installation;
        const unsigned long writes = winapi::RegistryBatch::WriteCount();
        installation.InstallDemo(false);
        std::printf("install demo: %lu registry writes\n",
                    winapi::RegistryBatch::WriteCount() - writes);
        // SAMLTD's settings, written through the program's settings code: the company
        // database as the external database.
        lumaro::AccpacPaths paths;
        lumaro::ProgramSettings settings([] { return std::string("SAMLTD"); },
                                         [&]() -> const lumaro::AccpacPaths& { return paths; });
        if (!settings.CreateINIFile()) return 1;
        settings.SetConnectionString(
            "Provider=SQLite;Data Source=" + installation.SharedDataFolder() +
            "/COMPANY/SAMLTD/SAMLTD.sqlite");
        settings.SetLocation("WH1");
        settings.SetQuery(lumaro::kFirstRunQuery);
        settings.SetDrilldown(true);
    }

    struct Figures {
        double median = 0, p90 = 0;
        long maxrssKiB = 0;
        long writes = 0;
    };
    // The machine registry of a copy grown by 100,000 keys, as a large installation has it (in
    // the order the registry writes them), settled on disk and older than a file read at once.
    const std::string grownFolder = std::string(folder) + "-grown";
    std::filesystem::copy(folder, grownFolder, std::filesystem::copy_options::recursive);
    {
        std::ofstream hive(grownFolder + "/HKEY_LOCAL_MACHINE.reg",
                           std::ios::binary | std::ios::app);
        hive << "\r\n";
        for (int k = 0; k < 100000; ++k)
            hive << "[HKEY_LOCAL_MACHINE\\Software\\Grown\\Key" << 1000000 + k << "]\r\n"
                 << "\"Programs\"=\"C:\\\\Programs\\\\Vendor" << k << "\"\r\n"
                 << "\"Count\"=dword:0000002a\r\n\r\n";
    }
    ::sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    struct Series {
        const char* machine;
        std::vector<double> times;
        Figures f;
    } series[2] = {{folder, {}, {}}, {grownFolder.c_str(), {}, {}}};
    auto run = [&](Series& s) {
        QElapsedTimer timer;
        timer.start();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LUMARO_MACHINE", QString::fromLocal8Bit(s.machine));
        child.setProcessEnvironment(env);
        child.start(QString::fromLocal8Bit(argv[0]), {"--child"});
        child.waitForFinished(30000);
        double ms = timer.nsecsElapsed() / 1e6;
        if (child.exitCode() != 0) {
            std::fprintf(stderr, "start-up run in %s failed: %s\n", s.machine,
                         child.readAllStandardError().constData());
            return false;
        }
        s.times.push_back(ms);
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        for (const QString& line : out.split('\n')) {
            if (line.startsWith("maxrss "))
                s.f.maxrssKiB = std::max(s.f.maxrssKiB, line.mid(7).toLong());
            if (line.startsWith("writes ")) s.f.writes = line.mid(7).toLong();
        }
        return true;
    };
    for (int i = 0; i < kRuns; ++i)
        if (!run(series[0]) || !run(series[1])) return 1;
    for (Series& s : series) {
        std::sort(s.times.begin(), s.times.end());
        s.f.median = s.times[s.times.size() / 2];
        s.f.p90 = s.times[std::min(s.times.size() - 1, (s.times.size() * 9) / 10)];
    }
    const Figures& demo = series[0].f;
    const Figures& grown = series[1].f;
    std::printf(
        "start-up to first item shown: median %.1f ms, p90 %.1f ms over %d runs (target < %.0f "
        "ms): %s; peak memory %.1f MiB, %ld registry writes\n",
        demo.median, demo.p90, kRuns, kTargetMs, demo.median < kTargetMs ? "met" : "MISSED",
        demo.maxrssKiB / 1024.0, demo.writes);

    const double ratio = grown.median / demo.median;
    const double extra = (grown.maxrssKiB - demo.maxrssKiB) / 1024.0;
    std::printf(
        "with a 100,000-key machine registry: median %.1f ms, p90 %.1f ms (%.2fx the demo, target "
        "<= 1.2x): %s; peak memory %.1f MiB (+%.1f MiB, target <= +40): %s; %ld registry "
        "writes\n",
        grown.median, grown.p90, ratio, ratio <= 1.2 ? "met" : "MISSED", grown.maxrssKiB / 1024.0,
        extra, extra <= 40 ? "met" : "MISSED", grown.writes);
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(grownFolder);
    return 0;
}
