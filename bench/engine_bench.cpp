// Micro-benchmarks of the engine: loading a CSV file into a workspace,
// writing a loaded workspace as a script, and splitting lines.

#include "engine/csv/FieldSplitter.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace quarrow;

// A deterministic CSV of about `bytes` bytes: quoted fields, apostrophes,
// empty cells and some non-ASCII text.
std::string makeCsv(std::size_t bytes)
{
    std::string csv = "id,name,email,city,amount,comment\r\n";
    std::uint64_t state = 42;
    auto next = [&] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    };
    static const char* const names[] = {"Anna", "O'Brien", "Zo\xC3\xAB", "M\xC3\xBCller", "Smith", "\"Lee, Jr.\""};
    static const char* const cities[] = {"Dublin", "\"Washington, D.C.\"", "K\xC3\xB6ln", "Paris", ""};
    for (std::uint64_t i = 1; csv.size() < bytes; ++i) {
        csv.append(std::to_string(i)).append(",");
        csv.append(names[next() % 6]);
        csv.append(",user").append(std::to_string(next() % 100000)).append("@example.com,");
        csv.append(cities[next() % 5]);
        csv.append(",")
            .append(std::to_string(next() % 100000))
            .append(".")
            .append(std::to_string(next() % 100))
            .append(",");
        if (next() % 3 == 0)
            csv += "\"It's a \"\"quoted\"\" remark, with a comma\"";
        csv += "\r\n";
    }
    return csv;
}

const std::filesystem::path& inputFile()
{
    static const std::filesystem::path path = [] {
        auto p = std::filesystem::temp_directory_path() / "quarrow-engine-bench.csv";
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        const std::string csv = makeCsv(std::size_t{16} << 20);
        out.write(csv.data(), static_cast<std::streamsize>(csv.size()));
        return p;
    }();
    return path;
}

class NullSink final : public ByteSink {
public:
    void write(const char*, std::size_t size) override { bytes += size; }
    std::uint64_t bytes = 0;
};

void BM_WorkspaceLoad(benchmark::State& state)
{
    const auto& path = inputFile();
    const auto size = std::filesystem::file_size(path);
    for (auto _ : state) {
        Workspace workspace;
        auto report = workspace.load(path, LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql});
        benchmark::DoNotOptimize(report.rowCount);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_WorkspaceLoad)->Unit(benchmark::kMillisecond);

void BM_Donustur(benchmark::State& state)
{
    const auto& path = inputFile();
    const auto size = std::filesystem::file_size(path);
    Workspace workspace;
    workspace.load(path, LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql});
    ScriptOptions options;
    options.headerLine = true;
    options.multiRow = state.range(0) != 0;
    options.encoding = state.range(1) != 0 ? TextEncoding::Ansi : TextEncoding::Utf8;
    for (auto _ : state) {
        NullSink sink;
        Donustur(workspace, options, sink);
        benchmark::DoNotOptimize(sink.bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_Donustur)
    ->ArgNames({"multi", "ansi"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

void BM_FieldSplit(benchmark::State& state)
{
    Workspace workspace;
    workspace.load(inputFile(), LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql});
    FieldSplitter splitter;
    std::uint64_t units = 0;
    std::u16string scratch;
    for (std::size_t r = 0; r < workspace.rowCount(); ++r)
        units += workspace.row(r, scratch).size();
    for (auto _ : state) {
        for (std::size_t r = 0; r < workspace.rowCount(); ++r) {
            splitter.split(workspace.row(r, scratch), u',');
            benchmark::DoNotOptimize(splitter.size());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * units * sizeof(char16_t)));
}
BENCHMARK(BM_FieldSplit)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
