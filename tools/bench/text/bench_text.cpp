// Targets: FormatString under 2 us per call; EncodeText and DecodeText of a 200-character
// connection string under 20 us each.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "common/Variant.h"
#include "globals/Globals.h"
#include "settings/modSecurity.h"

namespace {

const std::string kQuantityQuery =
    "SELECT (QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST) AS QTONHAND,QTYONORDER AS QTONORDER,"
    "QTYSALORDR AS QTSALORDR,(QTYONHAND+QTYRENOCST+QTYADNOCST-QTYSHNOCST-QTYCOMMIT) AS QTAVAIL,"
    "QTYCOMMIT AS QTCOMMIT FROM ICILOC WHERE ITEMNO='%s' AND LOCATION='%s'";

std::string ConnectionString() {
    std::string s =
        "Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=erp-db.example.internal;Port=5432;"
        "Database=accpac_company_samltd;Uid=inventory_reader;Pwd=S3cr3t!Passw0rd;"
        "ApplicationName=Lumaro;Timeout=30;SSLmode=prefer;";
    s.resize(200, 'x');
    return s;
}

void BM_FormatString(benchmark::State& state) {
    const std::vector<lumaro::Variant> args{"A1-103/0", "WH1"};
    for (auto _ : state) benchmark::DoNotOptimize(lumaro::FormatString(kQuantityQuery, args));
}
BENCHMARK(BM_FormatString);

void BM_EncodeText(benchmark::State& state) {
    const std::string plain = ConnectionString();
    for (auto _ : state) benchmark::DoNotOptimize(lumaro::EncodeText(plain));
}
BENCHMARK(BM_EncodeText);

void BM_DecodeText(benchmark::State& state) {
    const std::string stored = lumaro::EncodeText(ConnectionString());
    for (auto _ : state) benchmark::DoNotOptimize(lumaro::DecodeText(stored));
}
BENCHMARK(BM_DecodeText);

}  // namespace
