// Throughput of each operation, the program's scan next to its pattern run
// through the regex engine, on a realistic note.
#include <benchmark/benchmark.h>

#include "metadata/header.hpp"
#include "metadata/name.hpp"
#include "notes.hpp"
#include "reference/reference.hpp"
#include "support/rewrite_text.hpp"

namespace {

const std::string& note() {
  static const std::string text = note2md::support::realisticNote(1 << 20);
  return text;
}

template <typename Operation>
void measure(benchmark::State& state, Operation operation) {
  const std::string& text = note();
  for (auto _ : state) benchmark::DoNotOptimize(operation(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

#define NOTE2MD_REWRITE_BENCHMARK(name)                                                         \
  void BM_##name##_scan(benchmark::State& state) { measure(state, note2md::support::name); }    \
  void BM_##name##_regex(benchmark::State& state) { measure(state, note2md::reference::name); } \
  BENCHMARK(BM_##name##_scan)->Unit(benchmark::kMillisecond);                                   \
  BENCHMARK(BM_##name##_regex)->Unit(benchmark::kMillisecond);

NOTE2MD_REWRITE_BENCHMARK(markHeadingAndSubheadings)
NOTE2MD_REWRITE_BENCHMARK(addTrailingSpaces)
NOTE2MD_REWRITE_BENCHMARK(translateAttachmentLinks)
NOTE2MD_REWRITE_BENCHMARK(replaceCheckboxes)
NOTE2MD_REWRITE_BENCHMARK(convertLinksToMarkdown)

// A key that no line carries makes the search cover the whole note.
void BM_extractValueForKey_scan(benchmark::State& state) {
  measure(state, [](const std::string& text) { return note2md::metadata::extractValueForKey(text, "Missing:"); });
}
void BM_extractValueForKey_regex(benchmark::State& state) {
  measure(state, [](const std::string& text) { return note2md::reference::extractValueForKey(text, "Missing:"); });
}
BENCHMARK(BM_extractValueForKey_scan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_extractValueForKey_regex)->Unit(benchmark::kMillisecond);

void BM_createName_scan(benchmark::State& state) {
  measure(state, [](const std::string& text) { return note2md::metadata::createName(text, "bin/note2md"); });
}
void BM_createName_regex(benchmark::State& state) {
  measure(state, [](const std::string& text) { return note2md::reference::createName(text, "bin/note2md"); });
}
BENCHMARK(BM_createName_scan)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_createName_regex)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
