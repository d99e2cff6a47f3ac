// Interned symbols: the cost of making a symbol of a text already in the table, and a map
// keyed by symbols beside one keyed by strings, at the size of a style sheet's property names.

#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "gp/src/common/text/Symbol.h"

namespace {

std::vector<std::string> propertyNames(int count)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back("style-property-" + std::to_string(i));
    return names;
}

void BM_SymbolInternExisting(benchmark::State& state)
{
    const std::vector<std::string> names = propertyNames(int(state.range(0)));
    for (const std::string& n : names)
        ha::symbol s(n);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ha::symbol(names[i]));
        i = (i + 1) % names.size();
    }
}
BENCHMARK(BM_SymbolInternExisting)->Arg(64)->Arg(4096);

void BM_SymbolMapLookup(benchmark::State& state)
{
    const std::vector<std::string> names = propertyNames(int(state.range(0)));
    std::unordered_map<ha::symbol, int> map;
    std::vector<ha::symbol> keys;
    for (const std::string& n : names) {
        keys.emplace_back(n);
        map[keys.back()] = int(keys.size());
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find(keys[i]));
        i = (i + 1) % keys.size();
    }
}
BENCHMARK(BM_SymbolMapLookup)->Arg(64)->Arg(4096);

void BM_StringMapLookup(benchmark::State& state)
{
    const std::vector<std::string> names = propertyNames(int(state.range(0)));
    std::unordered_map<std::string, int> map;
    for (const std::string& n : names)
        map[n] = int(map.size());
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find(names[i]));
        i = (i + 1) % names.size();
    }
}
BENCHMARK(BM_StringMapLookup)->Arg(64)->Arg(4096);

}  // namespace
BENCHMARK_MAIN();
