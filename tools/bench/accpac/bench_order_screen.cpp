// The Order Entry screen's order numbers as the installation grows: opening the screen and
// saving an order on the demo company, then again once the company has 100,000 orders, in
// one run. The order number box reads its numbers a page at a time, so both figures must
// stay within 1.1x of the demo's. Prints the medians of wall and CPU time and the ratios
// (a save waits for the disk: its wall time varies with other work on the machine, its
// CPU time tells what the program does).

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "accpac/Platform.h"
#include "accpac/local/CompanyDatabase.h"
#include "accpac/local/Installation.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
#include "accpac/local/ui/OrderEntryScreen.h"

using namespace accpac::local;

namespace {

constexpr int kRuns = 31;
constexpr int kGrownOrders = 100000;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::unique_ptr<OrderEntryScreen> OpenScreen(int sessionID) {
    auto screen = std::make_unique<OrderEntryScreen>();
    screen->SetSessionID(sessionID);
    QElapsedTimer waited;
    waited.start();
    while (!screen->IsOpen() && waited.elapsed() < 10000) QCoreApplication::processEvents();
    return screen;
}

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Figures {
    double openMs, saveMs, openCpuMs, saveCpuMs;
};

Figures Measure(int sessionID) {
    std::vector<double> opens, saves, openCpu, saveCpu;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        double cpu = CpuMs();
        auto screen = OpenScreen(sessionID);
        opens.push_back(timer.nsecsElapsed() / 1e6);
        openCpu.push_back(CpuMs() - cpu);

        OrderEntry& order = *screen->Order();
        order.SetHeaderValue(orderheader::CUSTOMER, lumaro::Variant("1120"));
        const int line = order.AddLine();
        order.SetLineValue(line, orderdetail::ITEM, lumaro::Variant(kDemoItemFormatted));
        order.SetLineValue(line, orderdetail::QTYORDERED, lumaro::Variant(int32_t{2}));
        timer.restart();
        cpu = CpuMs();
        screen->SaveButton()->click();
        saves.push_back(timer.nsecsElapsed() / 1e6);
        saveCpu.push_back(CpuMs() - cpu);
        if (order.Modified()) std::fprintf(stderr, "the order was not saved\n");
    }
    return {Median(opens), Median(saves), Median(openCpu), Median(saveCpu)};
}

// Adds orders (headers only) up to the given count, numbered as the program numbers them.
void GrowOrders(LocalSession& session, int count) {
    std::shared_ptr<LocalDBLink> link = session.OpenLocalDBLink();
    CompanyDatabase& db = link->Database();
    db.Transaction([&] {
        QSqlQuery q = db.Exec("SELECT COALESCE(MAX(ORDUNIQ), 0) FROM OEORDH");
        q.next();
        const int first = q.value(0).toInt() + 1;
        for (int n = first; n <= count; ++n)
            db.Exec(
                "INSERT INTO OEORDH (ORDUNIQ, ORDNUMBER, CUSTOMER, BILNAME, ORDDATE, TYPE)"
                " VALUES (?, printf('ORD%06d', ?), '1120', '', '2024-05-01', 2)",
                {n, n});
        db.Exec("UPDATE OEOPT SET NEXTORDNUM = ?", {count + 1});
    });
}

}  // namespace

int main(int argc, char** argv) {
    const lumaro::bench::PrivateMachine machine;
    QApplication app(argc, argv);
    Installation().InstallDemo(false);
    LocalGuiPlatform platform;
    accpac::Platform::Install(&platform);
    LocalSessionManager manager;
    std::shared_ptr<LocalSession> session = manager.Signon({"SYSOP", kDemoSysopPassword, "SAMLTD"});

    OpenScreen(session->SessionID());  // warm up: the first screen loads the toolkit's parts
    const Figures demo = Measure(session->SessionID());
    GrowOrders(*session, kGrownOrders);
    const Figures grown = Measure(session->SessionID());

    std::printf("%-26s %10s %12s %7s\n", "Order Entry screen", "demo", "100,000 ord.", "ratio");
    const struct {
        const char* what;
        double demo, grown;
    } rows[] = {{"open, wall", demo.openMs, grown.openMs},
                {"open, CPU", demo.openCpuMs, grown.openCpuMs},
                {"save a new order, wall", demo.saveMs, grown.saveMs},
                {"save a new order, CPU", demo.saveCpuMs, grown.saveCpuMs}};
    for (const auto& r : rows)
        std::printf("%-26s %7.2f ms %9.2f ms %6.2fx  target <= 1.1x\n", r.what, r.demo, r.grown,
                    r.grown / r.demo);
    manager.EndSignon(session->SessionID());
    accpac::Platform::Install(nullptr);
    return 0;
}
