// Unpacking speed: every deflated entry of the .xlsx corpus, from memory.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "spreadsheet/container/Inflate.h"
#include "spreadsheet/container/Zip.h"

namespace {

namespace container = quillane::container;

// The raw deflate data of every deflated entry, with its unpacked size.
struct Entries {
  std::vector<std::vector<uint8_t>> packed;
  std::vector<size_t> sizes;
  size_t bytes = 0;  // unpacked, in all
};

const Entries& LoadEntries() {
  static const Entries entries = [] {
    Entries e;
    std::error_code ec;
    for (const auto& file : std::filesystem::directory_iterator(QUILLANE_XLSX_CORPUS_DIR, ec)) {
      if (file.path().extension() != ".xlsx") continue;
      std::ifstream in(file.path(), std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
      try {
        container::Zip zip(bytes);
        for (const auto& entry : zip.Entries()) {
          if (entry.method != 8) continue;
          zip.Read(entry);  // only entries that unpack whole count
          // The data follow the local header (30 bytes, the name and the extra field).
          const size_t at = entry.headerOffset;
          const size_t start = at + 30 + (bytes[at + 26] | bytes[at + 27] << 8) +
                               (bytes[at + 28] | bytes[at + 29] << 8);
          e.packed.emplace_back(
              bytes.begin() + static_cast<std::ptrdiff_t>(start),
              bytes.begin() + static_cast<std::ptrdiff_t>(start + entry.packedSize));
          e.sizes.push_back(entry.size);
          e.bytes += entry.size;
        }
      } catch (const std::exception&) {
        continue;
      }
    }
    return e;
  }();
  return entries;
}

void BM_InflateXlsxEntries(benchmark::State& state) {
  const Entries& entries = LoadEntries();
  if (entries.packed.empty()) {
    state.SkipWithError("the .xlsx corpus is absent");
    return;
  }
  for (auto _ : state) {
    for (size_t i = 0; i < entries.packed.size(); ++i) {
      auto out = container::InflateRaw(entries.packed[i], entries.sizes[i]);
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(entries.bytes));
  state.counters["entries"] = static_cast<double>(entries.packed.size());
}
BENCHMARK(BM_InflateXlsxEntries)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
