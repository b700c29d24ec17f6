// Benchmarks of the local platform. The demo installation must take under 2 s; the
// reads are what the quantity panel asks of the platform for each new item.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <cstdlib>
#include <memory>

#include "BenchSupport.h"
#include "accpac/local/Installation.h"
#include "accpac/local/LocalDataSource.h"
#include "accpac/local/LocalSession.h"

using namespace accpac::local;

namespace {

using Machine = lumaro::bench::PrivateMachine;

void BM_InstallDemo(benchmark::State& state) {
    for (auto _ : state) {
        Machine machine;
        Installation().InstallDemo(false);
    }
    state.SetLabel("target < 2 s");
}
BENCHMARK(BM_InstallDemo)->Unit(benchmark::kMillisecond)->Iterations(5);

struct Demo {
    Demo() {
        Installation().InstallDemo(false);
        session = LocalSessionManager().Signon({"SYSOP", kDemoSysopPassword, "SAMLTD"});
        link = session->OpenDBLink(1, 1);
    }
    Machine machine;
    std::shared_ptr<LocalSession> session;
    std::shared_ptr<accpac::DBLink> link;
};

std::unique_ptr<LocalDataSource> Open(Demo& demo, const char* view) {
    auto source = std::make_unique<LocalDataSource>(view);
    source->SetDBLink(demo.link);
    source->SetActive(true);
    return source;
}

// The panel's lookup: clear the quantity record, read the item by the number on the line.
void BM_ItemReadByKey(benchmark::State& state) {
    Demo demo;
    auto item = Open(demo, kViewItem);
    auto quantities = Open(demo, kViewItemLocation);
    const char* keys[] = {"A1-103/0", "B11062", "C2-104/1", "NO-SUCH"};
    size_t i = 0;
    for (auto _ : state) {
        quantities->ClearRecord();
        item->Fields().Item(item::ITEMNO).PutWithoutVerification(lumaro::Variant(keys[i++ % 4]));
        benchmark::DoNotOptimize(item->Read());
    }
}
BENCHMARK(BM_ItemReadByKey)->Unit(benchmark::kMicrosecond);

// The panel's result: five quantities written as text.
void BM_QuantityRecordFill(benchmark::State& state) {
    Demo demo;
    auto quantities = Open(demo, kViewItemLocation);
    for (auto _ : state) {
        for (int index : {3, 4, 5, 6, 12})
            quantities->Fields().Item(index).SetValue(lumaro::Variant("-999999999999"));
    }
}
BENCHMARK(BM_QuantityRecordFill)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
