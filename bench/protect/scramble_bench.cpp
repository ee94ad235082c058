// Scramble throughput, keyed and keyless, against memcpy of the same block.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/protected_file.h"

namespace {

void BM_Memcpy(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  std::vector<unsigned char> src(size, 0x5A), dst(size);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), size);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void Scramble(benchmark::State& state, const std::string& pattern) {
  const vg::BlockScrambler scrambler(pattern);
  const std::size_t size = scrambler.block_size();
  std::vector<unsigned char> buffer(size, 0x5A);
  for (auto _ : state) {
    scrambler.Apply(buffer.data(), size);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void BM_ScrambleKeyed(benchmark::State& state) {
  Scramble(state, vg::NormalizeKey(vg::MakeHeaderKeyText("www.quillmere.example")));
}

void BM_ScrambleKeyless(benchmark::State& state) {
  const auto table = vg::MakeKeylessTable(123456);
  std::string pattern;
  for (auto v : table) pattern.push_back(static_cast<char>(v & 0xFF));
  Scramble(state, pattern);
}

}  // namespace

BENCHMARK(BM_Memcpy)->Arg(1 << 20);
BENCHMARK(BM_ScrambleKeyed);
BENCHMARK(BM_ScrambleKeyless);
BENCHMARK_MAIN();
