// The Order Entry screen's order numbers as the installation grows: opening the screen and
// saving an order on the demo company, then again once the company has 100,000 orders, in
// one run. The order number box reads its numbers a page at a time, so both figures must
// stay within 1.1x of the demo's. Prints the medians and the ratios.

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "accpac/Platform.h"
#include "accpac/local/CompanyDatabase.h"
#include "accpac/local/Installation.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/ui/LocalGuiPlatform.h"
#include "accpac/local/ui/OrderEntryScreen.h"

using namespace accpac::local;

namespace {

constexpr int kRuns = 15;
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

struct Figures {
    double openMs, saveMs;
};

Figures Measure(int sessionID) {
    std::vector<double> opens, saves;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto screen = OpenScreen(sessionID);
        opens.push_back(timer.nsecsElapsed() / 1e6);

        OrderEntry& order = *screen->Order();
        order.SetHeaderValue(orderheader::CUSTOMER, lumaro::Variant("1120"));
        const int line = order.AddLine();
        order.SetLineValue(line, orderdetail::ITEM, lumaro::Variant(kDemoItemFormatted));
        order.SetLineValue(line, orderdetail::QTYORDERED, lumaro::Variant(int32_t{2}));
        timer.restart();
        screen->SaveButton()->click();
        saves.push_back(timer.nsecsElapsed() / 1e6);
        if (order.Modified()) std::fprintf(stderr, "the order was not saved\n");
    }
    return {Median(opens), Median(saves)};
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
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QTemporaryDir machine;
    setenv("LUMARO_MACHINE", machine.path().toUtf8().constData(), 1);
    Installation().InstallDemo(false);
    LocalGuiPlatform platform;
    accpac::Platform::Install(&platform);
    LocalSessionManager manager;
    std::shared_ptr<LocalSession> session = manager.Signon({"SYSOP", kDemoSysopPassword, "SAMLTD"});

    OpenScreen(session->SessionID());  // warm up: the first screen loads the toolkit's parts
    const Figures demo = Measure(session->SessionID());
    GrowOrders(*session, kGrownOrders);
    const Figures grown = Measure(session->SessionID());

    std::printf("%-28s %10s %12s %8s\n", "Order Entry screen", "demo", "100,000 ord.", "ratio");
    std::printf("%-28s %8.2f ms %9.2f ms %7.2fx  target <= 1.1x\n", "open (order numbers)",
                demo.openMs, grown.openMs, grown.openMs / demo.openMs);
    std::printf("%-28s %8.2f ms %9.2f ms %7.2fx  target <= 1.1x\n", "save a new order", demo.saveMs,
                grown.saveMs, grown.saveMs / demo.saveMs);
    manager.EndSignon(session->SessionID());
    accpac::Platform::Install(nullptr);
    return 0;
}
