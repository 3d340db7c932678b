// The filter alone, in memory, for the option-less run, -z, -l, -h, -H,
// every preset and every scan level, and the sets whose output keeps line
// feeds once more as for a Windows text file (each as CR LF): no file
// system, no stdio, so changes to the filter show without the noise of
// reading and writing. Also the join of CR LF pairs that Windows reads.
//
//   kiv_filter_bench CORPUS [--benchmark_... flags]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "convert/filter.h"
#include "convert/line_ends.h"
#include "convert/scan/dispatch.h"
#include "convert/stream.h"
#include "options/options.h"

namespace {

std::vector<unsigned char> corpus;

struct Preset {
  const char* name;
  const char* option;  // nullptr: no option
  bool crlf;           // line feeds written as CR LF
};

constexpr Preset kPresets[] = {
    {"none", nullptr, false}, {"z", "-z", false},      {"l", "-l", false},
    {"h", "-h", false},       {"H", "-H", false},      {"C", "-C", false},
    {"P", "-P", false},       {"J", "-J", false},      {"B", "-B", false},
    {"S", "-S", false},       {"none-crlf", nullptr, true},
    {"l-crlf", "-l", true},   {"H-crlf", "-H", true}};

// Filters the corpus in the slices convert_text uses.
void filter_corpus(benchmark::State& state, const Preset& preset,
                   kiv::ScanLevel level) {
  const char* argv[] = {"Kiv", preset.option};
  const kiv::FilterTable table = kiv::make_filter_table(
      kiv::parse_options(preset.option ? 2 : 1, argv), preset.crlf);
  constexpr std::size_t kSlice = 16 * 1024;
  // The output starts half a page away from the input's place in a page.
  // Where the two share that place within some hundred bytes, a load
  // waits for the stores just before it that match it in the low 12
  // address bits (4K aliasing), and which layout the heap gave decided
  // the figure: -z ran at 4.7 or 7.7 GB/s on AMD Zen 4 in the same build.
  constexpr std::uintptr_t kPage = 4096;
  std::vector<unsigned char> space(kSlice * kiv::kMaxExpansion +
                                   kiv::kChunkSlack + kPage);
  const std::uintptr_t from =
      reinterpret_cast<std::uintptr_t>(corpus.data()) % kPage + kPage / 2;
  const std::uintptr_t to =
      reinterpret_cast<std::uintptr_t>(space.data()) % kPage;
  unsigned char* const out = space.data() + (from + kPage - to) % kPage;
  for (auto _ : state) {
    kiv::FilterState filter_state;
    std::size_t written = 0;
    for (std::size_t at = 0; at < corpus.size(); at += kSlice) {
      std::size_t n = corpus.size() - at < kSlice ? corpus.size() - at : kSlice;
      written += kiv::filter_chunk_at(level, table, filter_state,
                                      corpus.data() + at, n, out);
      benchmark::DoNotOptimize(out);
    }
    written += kiv::filter_finish(table, filter_state, out);
    benchmark::DoNotOptimize(written);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(corpus.size()));
}

// Joins the CR LF pairs of the corpus with every line ended by CR LF (or,
// crlf false, by LF alone), as Kiv.exe reads a Windows text file: in
// blocks of the reader's size.
void join_crlf(benchmark::State& state, bool crlf) {
  std::vector<unsigned char> text;
  for (unsigned char c : corpus) {
    if (c == '\r') continue;
    if (c == '\n' && crlf) text.push_back('\r');
    text.push_back(c);
  }
  std::vector<unsigned char> joined(kiv::kReadBlock);
  for (auto _ : state) {
    std::size_t kept = 0;
    for (std::size_t at = 0; at < text.size(); at += joined.size()) {
      std::size_t n = std::min(joined.size(), text.size() - at);
      kept += kiv::collapse_crlf(text.data() + at, n, true, joined.data()).kept;
      benchmark::DoNotOptimize(joined.data());
    }
    benchmark::DoNotOptimize(kept);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

bool load(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  unsigned char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    corpus.insert(corpus.end(), buffer, buffer + got);
  }
  std::fclose(file);
  return !corpus.empty();
}

}  // namespace

int main(int argc, char* argv[]) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2 || !load(argv[1])) {
    std::fprintf(stderr, "usage: kiv_filter_bench CORPUS [benchmark flags]\n");
    return 2;
  }
  for (const Preset& preset : kPresets) {
    for (int level = 0; level < kiv::kScanLevels; ++level) {
      if (!kiv::scan_level_runs(static_cast<kiv::ScanLevel>(level))) continue;
      std::string name = std::string(preset.name) + "/" +
                         kiv::scan_level_name(static_cast<kiv::ScanLevel>(level));
      benchmark::RegisterBenchmark(name.c_str(), filter_corpus, preset,
                                   static_cast<kiv::ScanLevel>(level));
    }
  }
  benchmark::RegisterBenchmark("join-crlf", join_crlf, true);
  benchmark::RegisterBenchmark("join-lf", join_crlf, false);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
