// Decode + validate + lookup of the last id in a generated 10,000-record
// manifest (about 4.5 MB), through ManifestStore and the file loader, as the
// helper does for every apply command.
//
//   manifest [benchmark flags]          run the benchmark
//   manifest --write-manifest <path>    write the manifest, print the last id
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "ManifestStore.hpp"
#include "URLManifestDataLoader.hpp"

namespace {

constexpr int recordCount = 10000;

std::string idOf(int i) {
    char id[32];
    std::snprintf(id, sizeof id, "wp-%05d-%04x", i, (i * 2654435761u) >> 16 & 0xffff);
    return id;
}

std::string generatedManifest() {
    static const char* categories[] = {"nature", "city", "abstract", "space", "water"};
    std::string out = "[\n";
    char digest[65];
    for (int i = 0; i < recordCount; ++i) {
        const std::string id = idOf(i);
        const std::string slug = "loop-" + std::to_string(i) + "-" + categories[i % 5];
        for (int d = 0; d < 64; ++d) {
            digest[d] = "0123456789abcdef"[(i * 7 + d * 13) % 16];
        }
        digest[64] = '\0';
        out +=
            "{\"id\":\"" + id + "\",\"slug\":\"" + slug + "\",\"title\":\"" + categories[i % 5] +
            " loop " + std::to_string(i) + "\",\"category\":\"" + categories[i % 5] +
            "\",\"thumbnailUrl\":\"https://cdn.lumivo.app/thumbs/" + slug +
            ".jpg\",\"videoUrl\":\"https://cdn.lumivo.app/videos/" + slug +
            "-1080p.mp4\",\"sha256\":\"" + digest +
            "\",\"bytes\":" + std::to_string(10'000'000 + i * 1234) +
            ",\"duration\":" + std::to_string(8 + i % 20) + ".5,\"width\":1920,\"height\":1080," +
            "\"format\":\"mp4\",\"updatedAt\":\"2024-05-01T10:00:00Z\"," + "\"tags\":[\"loop\",\"" +
            categories[(i + 1) % 5] + "\"]}" + (i + 1 < recordCount ? ",\n" : "\n");
    }
    return out + "]\n";
}

void BM_ManifestLookupLastId(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("lumivo-bench-manifest-" + std::to_string(::getpid()) + ".json");
    const std::string manifest = generatedManifest();
    std::ofstream(path, std::ios::binary) << manifest;
    const lumivo::ManifestStore store(lumivo::Url::fileURL(path),
                                      std::make_unique<lumivo::URLManifestDataLoader>());
    const std::string wanted = idOf(recordCount - 1);
    for (auto _ : state) {
        auto record = store.record(wanted);
        if (!record) {
            state.SkipWithError("last id not found");
            break;
        }
        benchmark::DoNotOptimize(record);
    }
    state.counters["manifest_bytes"] = static_cast<double>(manifest.size());
    std::filesystem::remove(path);
}
BENCHMARK(BM_ManifestLookupLastId)->Unit(benchmark::kMillisecond)->Repetitions(15);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-manifest") {
        std::ofstream(argv[2], std::ios::binary) << generatedManifest();
        std::cout << idOf(recordCount - 1) << "\n";
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
