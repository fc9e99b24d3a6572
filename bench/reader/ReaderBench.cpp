// Reader throughput over the corpus: every workbook that loads is read from memory, and the
// bytes read per second are reported.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "spreadsheet/biff/WorkbookReader.h"

namespace {

struct Corpus {
  std::vector<std::vector<uint8_t>> files;
  size_t bytes = 0;
};

const Corpus& LoadCorpus() {
  static const Corpus corpus = [] {
    Corpus c;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLANE_CORPUS_DIR, ec)) {
      if (entry.path().extension() != ".xls") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
      try {
        quillane::biff::ReadWorkbook(bytes, "");
      } catch (const quillane::biff::ReadError&) {
        continue;  // only the workbooks that load count
      }
      c.bytes += bytes.size();
      c.files.push_back(std::move(bytes));
    }
    return c;
  }();
  return corpus;
}

void BM_ReadCorpus(benchmark::State& state) {
  const Corpus& corpus = LoadCorpus();
  if (corpus.files.empty()) {
    state.SkipWithError("the corpus is absent");
    return;
  }
  for (auto _ : state) {
    for (const auto& bytes : corpus.files) {
      auto book = quillane::biff::ReadWorkbook(bytes, "");
      benchmark::DoNotOptimize(book);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(corpus.bytes));
  state.counters["files"] = static_cast<double>(corpus.files.size());
}
BENCHMARK(BM_ReadCorpus)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
