// The updater's style sheet: building the grammar, parsing the text, and parsing with applying
// it to a sheet (the work done once at start), beside a bare pass over the same bytes that
// counts line ends.

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "hwl/core/src/errors/ErrorListeners.h"
#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/style/StyleSheet.h"

namespace {

using namespace HA::HWL;

const std::string& updaterSheet()
{
    static const std::string text = [] {
        std::ifstream in(HA_UPDATER_SHEET, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }();
    return text;
}

void BM_CountLineEnds(benchmark::State& state)
{
    const std::string& text = updaterSheet();
    for (auto _ : state) {
        int lines = 0;
        for (char c : text)
            lines += c == '\n';
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_CountLineEnds);

// An empty text: what building the grammar costs on its own.
void BM_StyleGrammarBuild(benchmark::State& state)
{
    for (auto _ : state) {
        StyleParser2 parser(nullptr);
        benchmark::DoNotOptimize(parser.processBuffer(std::string(), "empty"));
    }
}
BENCHMARK(BM_StyleGrammarBuild);

void BM_StyleParseUpdaterSheet(benchmark::State& state)
{
    const std::string& text = updaterSheet();
    if (text.empty())
        state.SkipWithError("the updater's sheet could not be read");
    for (auto _ : state) {
        StyleParser2 parser(nullptr);
        benchmark::DoNotOptimize(parser.processBuffer(text, "FirmwareUpdaterStyles.txt"));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_StyleParseUpdaterSheet);

// Without a resource manager: pictures and fonts are not fetched, only described.
void BM_StyleParseAndApplyUpdaterSheet(benchmark::State& state)
{
    const std::string& text = updaterSheet();
    StyleSheet sheet(nullptr);
    for (auto _ : state) {
        StyleParser2::processString(sheet, text.c_str());
        benchmark::DoNotOptimize(sheet.getRules().size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_StyleParseAndApplyUpdaterSheet);

}  // namespace
BENCHMARK_MAIN();
