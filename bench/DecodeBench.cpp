// Times parse + decode + premultiply of each benchmark picture into 32-bit
// pixels, next to ffmpeg's IFF decoder on the same file and to a memset of the
// same output size, then prints one Markdown table of the three.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/BenchPictures.h"
#include "bench/FfmpegIff.h"
#include "decode/Decoder.h"
#include "decode/Simd.h"
#include "iff/Parser.h"

namespace vantrel::bench {
namespace {

const char* modeName(PixelMode mode) {
    static const char* const names[] = {"PaletteStrip", "Indexed", "HalfBrite", "LinePalette", "Ham6",
                                        "LineHam6",     "Ham8",    "Grey8",     "Rgb24",       "Rgba32"};
    const auto index = static_cast<unsigned>(mode);
    return index < 10 ? names[index] : "?";
}

void setCounters(benchmark::State& state, std::size_t pixels) {
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(pixels) * 4);
    state.counters["ns/px"] =
        benchmark::Counter(double(pixels) * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}

void vantrelDecode(benchmark::State& state, const BenchPicture* picture) {
    const std::uint8_t* begin = picture->file.data();
    const std::uint8_t* end = begin + picture->file.size();
    ImageInfo info{};
    if (!parsePicture(info, begin, end) || picture->mode != modeName(info.pixelMode)) {  // as made, or as read
        state.SkipWithError("the parser does not take the picture as made");
        return;
    }
    const OutputSize size = outputSize(info);
    const std::size_t count = std::size_t{size.width} * size.height;
    std::vector<std::uint32_t> pixels(count, 1);
    for (auto _ : state) {
        ImageInfo parsed{};
        parsePicture(parsed, begin, end);
        decodePicture(parsed, pixels.data(), Alpha::Premultiplied);
        benchmark::ClobberMemory();
    }
    setCounters(state, count);
}

void ffmpegDecode(benchmark::State& state, const BenchPicture* picture, std::size_t pixels) {
    FfmpegIff ffmpeg(picture->file);
    if (!ffmpeg.ready()) {
        state.SkipWithError("ffmpeg does not decode this picture");
        return;
    }
    for (auto _ : state) {
        if (!ffmpeg.decode()) {
            state.SkipWithError("ffmpeg failed to decode");
            break;
        }
    }
    setCounters(state, pixels);
}

void memsetOutput(benchmark::State& state, std::size_t pixels) {
    std::vector<std::uint32_t> out(pixels, 1);
    for (auto _ : state) {
        std::memset(out.data(), 0, pixels * 4);
        benchmark::ClobberMemory();
    }
    setCounters(state, pixels);
}

std::size_t pixelCount(const BenchPicture& picture) {
    ImageInfo info{};
    if (!parsePicture(info, picture.file.data(), picture.file.data() + picture.file.size())) return 0;
    const OutputSize size = outputSize(info);
    return std::size_t{size.width} * size.height;
}

// Collects the runs quietly (a progress line each on stderr) and prints the
// comparison table on stdout at the end.
class TableReporter : public benchmark::BenchmarkReporter {
public:
    explicit TableReporter(const std::vector<BenchPicture>& pictures) : pictures_(pictures) {}

    bool ReportContext(const Context&) override { return true; }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string name = run.run_name.str();
            if (run.error_occurred) {
                std::fprintf(stderr, "%-60s %s\n", name.c_str(), run.error_message.c_str());
                continue;
            }
            if (run.run_type == Run::RT_Aggregate) continue;
            // Milliseconds of this thread's CPU time; of repeated runs, the
            // least, which other work on a shared machine disturbs least.
            const double ms = run.GetAdjustedCPUTime();
            const auto known = times_.find(name);
            if (known == times_.end() || ms < known->second) times_[name] = ms;
            std::fprintf(stderr, "%-60s %10.3f ms\n", name.c_str(), ms);
        }
    }

    void Finalize() override {
        std::printf("Decoder kernels: %s\n\n", simdLevelName(simdLevel()));
        std::printf("| picture | mode | Vantrel ms | ffmpeg ms | ffmpeg / Vantrel | memset ms | Vantrel / memset "
                    "| Vantrel ns/px | Vantrel MB/s |\n|---|---|--:|--:|--:|--:|--:|--:|--:|\n");
        for (const BenchPicture& p : pictures_) {
            const double ours = time("vantrel/" + p.name), theirs = time("ffmpeg/" + p.name);
            const double fill = time("memset/" + p.name);
            const double pixels = double(pixelCount(p));
            if (ours <= 0) continue;  // filtered out or failed
            std::printf("| %s | %s | %s | %s | %s | %s | %s | %.2f | %.0f |\n", p.name.c_str(), p.mode.c_str(),
                        milliseconds(ours).c_str(), milliseconds(theirs).c_str(),
                        number(theirs > 0 ? theirs / ours : -1, "%.1fx").c_str(), milliseconds(fill).c_str(),
                        number(fill > 0 ? ours / fill : -1, "%.2fx").c_str(), ours * 1e6 / pixels, pixels * 4 / (ours * 1e3));
        }
    }

private:
    double time(const std::string& name) const {
        const auto found = times_.find(name);
        return found == times_.end() ? -1.0 : found->second;
    }
    // Three significant digits or more.
    static std::string milliseconds(double value) {
        if (value >= 100) return number(value, "%.0f");
        if (value >= 10) return number(value, "%.1f");
        if (value >= 1) return number(value, "%.2f");
        return number(value, value >= 0.001 ? "%.3g" : "%.7f");
    }
    static std::string number(double value, const char* format) {
        if (!(value > 0)) return "n/a";
        char text[32];
        std::snprintf(text, sizeof text, format, value);
        return text;
    }

    const std::vector<BenchPicture>& pictures_;
    std::map<std::string, double> times_;
};

}  // namespace
}  // namespace vantrel::bench

// --level NAME (baseline, avx2, avx2-gfni, avx512, neon or best; --baseline is
// --level baseline) caps the decoder at that tier; the other arguments go to
// Google Benchmark. Returns 0, or 1 when the tier is not this processor's,
// 2 when there is no such tier.
static int takeLevelOption(int& argc, char** argv, std::string& name) {
    name = "best";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--baseline") == 0) {
            name = "baseline";
        } else if (std::strcmp(argv[i], "--level") == 0 && i + 1 < argc) {
            name = argv[++i];
        } else if (std::strncmp(argv[i], "--level=", 8) == 0) {
            name = argv[i] + 8;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    using vantrel::SimdLevel;
    if (name == "best") return 0;
    const std::pair<const char*, SimdLevel> tiers[] = {{"baseline", SimdLevel::Baseline}, {"avx2", SimdLevel::Avx2},
                                                       {"avx2-gfni", SimdLevel::Avx2Gfni},
                                                       {"avx512", SimdLevel::Avx512}, {"neon", SimdLevel::Neon}};
    for (const auto& [tierName, tier] : tiers) {
        if (name != tierName) continue;
        vantrel::limitSimdLevel(tier);
        return vantrel::simdLevel() == tier ? 0 : 1;
    }
    return 2;
}

int main(int argc, char** argv) {
    using namespace vantrel::bench;
    std::string level;
    switch (takeLevelOption(argc, argv, level)) {
        case 1: std::printf("%s: not supported on this processor\n", level.c_str()); return 0;
        case 2: std::fprintf(stderr, "vantrel_bench: unknown level '%s' (baseline, avx2, avx2-gfni, avx512, neon, best)\n", level.c_str()); return 2;
        default: break;
    }
    static std::vector<BenchPicture> pictures = benchPictures();
    for (BenchPicture& p : pictures) {
        vantrel::ImageInfo info{};
        if (p.mode.empty() && vantrel::parsePicture(info, p.file.data(), p.file.data() + p.file.size()))
            p.mode = modeName(info.pixelMode);
    }
    for (const BenchPicture& p : pictures) {
        const std::size_t pixels = pixelCount(p);
        benchmark::RegisterBenchmark(("vantrel/" + p.name).c_str(), vantrelDecode, &p)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ffmpeg/" + p.name).c_str(), ffmpegDecode, &p, pixels)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("memset/" + p.name).c_str(), memsetOutput, pixels)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TableReporter table(pictures);
    benchmark::RunSpecifiedBenchmarks(&table);
    benchmark::Shutdown();
    return 0;
}
