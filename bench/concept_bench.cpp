// A concept search over the large demo project through the local-access
// library: the time until its first hit row is in hand and until every row
// has been paged, beside a plain OCR text search of the same word; and the
// search for a misspelling of the word, until its spellings are offered.

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cctype>
#include <string>

#include "bench_demo_system.h"
#include "navigation/query_record.h"
#include "navigation/query_sources.h"
#include "navigation/talq_query_api.h"

namespace {

benchsupport::BenchDemoSystem* g_system = nullptr;
std::string g_word;

// A word of letters only, 7 or more long, of the project's first page.
std::string FirstLongWord() {
    TalqClientAPI api;
    std::string key, text;
    std::int16_t level = 0;
    if (!g_system->OpenSession(api, true) || !api.NextKey("", level, key) ||
        !api.GetPageOCR(key, text))
        return "";
    std::string word;
    for (char c : text + " ") {
        if (std::isalpha(static_cast<unsigned char>(c))) {
            word += c;
            continue;
        }
        if (word.size() >= 7) return word;
        word.clear();
    }
    return "";
}

// Runs the search to its end, polling without pause; the hit list's name.
std::string ConceptSearch(TalqClientAPI& api, const std::string& word = g_word) {
    if (!api.QuesterStartSearch(word, 99999, 0)) return "";
    while (api.QuesterCheckSearch()) {
    }
    return api.QuesterQueryFile();
}

// Pages through the rest of the query; the rows read.
std::int64_t PageAll(navigation::QueryApi& api, TalqClientAPI_Header::QueryRecord& query) {
    std::int64_t rows = query.RowCount;
    while ((query.MoreFlags & TalqClientAPI_Header::kMoreFollows) != 0) {
        if (!TalqClientAPI_Header::QueryScroll(api, query, 1)) break;
        rows += query.RowCount;
    }
    return rows;
}

// Arg 0: the first set only; arg 1: every set.
void BM_ConceptSearch(benchmark::State& state) {
    TalqClientAPI api;
    if (!g_system->OpenSession(api, true)) return state.SkipWithError("no session");
    navigation::TalqQueryApi queries(api);
    std::int64_t rows = 0;
    for (auto _ : state) {
        TalqClientAPI_Header::QueryRecord query;
        const std::string file = ConceptSearch(api);
        if (file.empty() ||
            !TalqClientAPI_Header::OpenServerQuery(queries, query, 2, file, 0, 2000))
            return state.SkipWithError(api.LastError().c_str());
        rows = state.range(0) == 0 ? query.RowCount : PageAll(queries, query);
        TalqClientAPI_Header::ClearServerQuery(queries, query);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_ConceptSearch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_OcrTextSearch(benchmark::State& state) {
    TalqClientAPI api;
    if (!g_system->OpenSession(api, true)) return state.SkipWithError("no session");
    navigation::TalqQueryApi queries(api);
    std::int64_t rows = 0;
    for (auto _ : state) {
        TalqClientAPI_Header::QueryRecord query;
        if (!TalqClientAPI_Header::SearchImageText(queries, query, 1, g_word, 0))
            return state.SkipWithError(api.LastError().c_str());
        rows = state.range(0) == 0 ? query.RowCount : PageAll(queries, query);
        TalqClientAPI_Header::ClearServerQuery(queries, query);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_OcrTextSearch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ConceptSpellingOffer(benchmark::State& state) {
    TalqClientAPI api;
    if (!g_system->OpenSession(api, true)) return state.SkipWithError("no session");
    const std::string misspelt = g_word.substr(0, 2) + g_word.substr(3);
    for (auto _ : state) {
        ConceptSearch(api, misspelt);
        if (api.QuesterSpellFile().empty()) return state.SkipWithError("no spellings offered");
        api.QuesterClearSearch();
    }
}
BENCHMARK(BM_ConceptSpellingOffer)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    docserver::demo::DemoOptions options;
    options.large = true;
    return benchsupport::RunBenchmarksOnDemo<QGuiApplication>(argc, argv, options, g_system,
                                                              [](benchsupport::BenchDemoSystem&) {
                                                                  g_word = FirstLongWord();
                                                                  return true;
                                                              });
}
