// Index figures on a table of 1,000,000 records: building a CDX tag in one
// go, and 1,000,000 random Seeks of existing keys through the data layer.
//
//   build/bench/db/cdx_bench [--records=N]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "platform/db/dbf_writer.h"
#include "platform/db/table.h"
#include "platform/runtime/strings.h"

namespace {

long g_records = 1000000;
std::string g_dir;

std::string Key(long i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "K%09ld", i);
  return buf;
}

// A table of NAME C(10) and AMOUNT N(10,2), keys in random order, written
// in one piece.
std::string MakeTable() {
  std::string path = g_dir + "BENCH.DBF";
  db::DbfHeader h;
  db::CreateDbf(path, {{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 10, 2}}, &h);
  std::vector<long> ids(static_cast<size_t>(g_records));
  for (long i = 0; i < g_records; ++i) ids[size_t(i)] = i;
  std::shuffle(ids.begin(), ids.end(), std::mt19937(42));
  std::string records;
  records.reserve(size_t(g_records) * h.recordLen + 1);
  for (long id : ids) records += " " + Key(id) + rt::Str(double(id % 1000), 10, 2);
  records += '\x1A';
  h.recCount = uint32_t(g_records);
  db::DbFile f;
  f.Open(path, false);
  std::string head = db::EncodeDbfHeader(h);
  f.WriteAt(0, head.data(), head.size());
  f.WriteAt(h.headerLen, records.data(), records.size());
  return path;
}

db::KeyEvaluator NameKey() {
  return [](const db::RecordView& r) { return r.FieldGet(size_t(0)); };
}

void BM_BuildTag(benchmark::State& state) {
  std::string path = MakeTable();
  for (auto _ : state) {
    std::filesystem::remove(g_dir + "BENCH.CDX");
    db::Table t;
    db::Status s = t.Open(path, false, false);
    if (s.ok()) s = t.CreateTag("NAME", "NAME", NameKey());
    if (!s.ok()) {
      std::fprintf(stderr, "%s\n", s.description.c_str());
      state.SkipWithError("cannot build the tag");
      return;
    }
    t.Close();
  }
  state.counters["records"] = double(g_records);
  state.counters["cdx_bytes"] = double(std::filesystem::file_size(g_dir + "BENCH.CDX"));
}

void BM_RandomSeek(benchmark::State& state) {
  std::string path = g_dir + "BENCH.DBF";
  if (!std::filesystem::exists(g_dir + "BENCH.CDX")) {
    MakeTable();
    db::Table t;
    t.Open(path, false, false);
    t.CreateTag("NAME", "NAME", NameKey());
  }
  db::Table t;
  t.Open(path, state.range(0) != 0, true);
  std::mt19937 rng(7);
  std::vector<rt::Value> keys;
  keys.reserve(size_t(g_records));
  for (long i = 0; i < g_records; ++i) keys.emplace_back(Key(long(rng() % uint32_t(g_records))));
  long misses = 0;
  for (auto _ : state) {
    for (const rt::Value& k : keys) {
      bool found;
      t.Seek(k, false, found);
      misses += !found;
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * g_records);
  state.counters["seeks"] = double(g_records);
  state.counters["misses"] = double(misses);
}

BENCHMARK(BM_BuildTag)->Unit(benchmark::kMillisecond)->Iterations(3);
// Argument: 1 = shared use (locks and change checks on every seek), 0 = exclusive.
BENCHMARK(BM_RandomSeek)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(1)->Arg(0);

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).rfind("--records=", 0) == 0) g_records = std::stol(argv[i] + 10);
  g_dir = std::filesystem::temp_directory_path().string() + "/rv-cdx-bench-" + std::to_string(::getpid()) + "/";
  std::filesystem::create_directories(g_dir);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(g_dir);
  return 0;
}
