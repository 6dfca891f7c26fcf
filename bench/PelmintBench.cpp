// CircleAreaAverage on a 512 x 480 random image against the plain per-pixel loop and against a
// plain vector sum of as many contiguous bytes as the disc holds (the memory limit). Prints the
// ratios after the usual table; it decides nothing.

// Standard library
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

// Ours
#include <pelmint.h>

#include <benchmark/benchmark.h>

namespace {

constexpr int32_t kWidth = 512;
constexpr int32_t kHeight = 480;

struct Circle {
    const char* name;
    int32_t centreX;
    int32_t centreY;
    int32_t radius;
};

const Circle kCircles[] = {
    {"radius 3", 256, 240, 3},
    {"radius 50", 256, 240, 50},
    {"radius 200", 256, 240, 200},
    {"half outside, radius 150", 0, 240, 150},
};

const std::vector<uint8_t>& image() {
    static const std::vector<uint8_t> pixels = [] {
        std::vector<uint8_t> bytes(size_t{kWidth} * kHeight);
        std::mt19937 random(2024);
        for (uint8_t& byte : bytes) {
            byte = static_cast<uint8_t>(random());
        }
        return bytes;
    }();
    return pixels;
}

double referenceAverage(const uint8_t* pixels, int32_t width, int32_t height, int32_t centreX,
                        int32_t centreY, int32_t radius) {
    const int64_t x0 = std::max<int64_t>(int64_t{centreX} - radius, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{centreX} + radius, width - 1);
    const int64_t y0 = std::max<int64_t>(int64_t{centreY} - radius, 0);
    const int64_t y1 = std::min<int64_t>(int64_t{centreY} + radius, height - 1);
    const int64_t radiusSquared = int64_t{radius} * radius;
    int64_t sum = 0, count = 0;
    for (int64_t y = y0; y <= y1; ++y) {
        for (int64_t x = x0; x <= x1; ++x) {
            const int64_t dx = centreX - x, dy = centreY - y;
            if (dx * dx + dy * dy <= radiusSquared) {
                sum += pixels[y * width + x];
                ++count;
            }
        }
    }
    return count == 0 ? -1.0 : static_cast<double>(sum) / static_cast<double>(count);
}

int64_t discPixelCount(const Circle& circle) {
    int64_t count = 0;
    for (int64_t y = 0; y < kHeight; ++y) {
        for (int64_t x = 0; x < kWidth; ++x) {
            const int64_t dx = circle.centreX - x, dy = circle.centreY - y;
            count += dx * dx + dy * dy <= int64_t{circle.radius} * circle.radius;
        }
    }
    return count;
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) uint64_t contiguousSumAvx2(const uint8_t* bytes, int64_t length) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i lanes = zero;
    int64_t i = 0;
    for (; i + 32 <= length; i += 32) {
        const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        lanes = _mm256_add_epi64(lanes, _mm256_sad_epu8(block, zero));
    }
    uint64_t parts[4];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(parts), lanes);
    uint64_t sum = parts[0] + parts[1] + parts[2] + parts[3];
    for (; i < length; ++i) {
        sum += bytes[i];
    }
    return sum;
}
#endif

uint64_t contiguousSumSse2(const uint8_t* bytes, int64_t length) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i lanes = zero;
    int64_t i = 0;
    for (; i + 16 <= length; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        lanes = _mm_add_epi64(lanes, _mm_sad_epu8(block, zero));
    }
    uint64_t parts[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(parts), lanes);
    uint64_t sum = parts[0] + parts[1];
#else
    int64_t i = 0;
    uint64_t sum = 0;
#endif
    for (; i < length; ++i) {
        sum += bytes[i];
    }
    return sum;
}

uint64_t contiguousSum(const uint8_t* bytes, int64_t length) {
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        return contiguousSumAvx2(bytes, length);
    }
#endif
    return contiguousSumSse2(bytes, length);
}

void benchPelmint(benchmark::State& state, Circle circle) {
    const uint8_t* pixels = image().data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(pixels);
        benchmark::DoNotOptimize(CircleAreaAverage(pixels, kWidth, kHeight, 8, circle.centreX,
                                                   circle.centreY, circle.radius));
    }
}

void benchReference(benchmark::State& state, Circle circle) {
    const uint8_t* pixels = image().data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(pixels);
        benchmark::DoNotOptimize(referenceAverage(pixels, kWidth, kHeight, circle.centreX,
                                                  circle.centreY, circle.radius));
    }
}

void benchContiguous(benchmark::State& state, Circle circle) {
    const uint8_t* pixels = image().data();
    const int64_t length = discPixelCount(circle);
    for (auto _ : state) {
        benchmark::DoNotOptimize(pixels);
        benchmark::DoNotOptimize(contiguousSum(pixels, length));
    }
    state.counters["bytes"] = static_cast<double>(length);
}

// Keeps the usual console table and adds, per circle, the median CPU times side by side (CPU
// time, because the machine is often shared).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median") {
                continue;
            }
            const std::string name = run.run_name.str();
            if (aggregate || medians_.count(name) == 0) {
                medians_[name] = run.GetAdjustedCPUTime();
            }
        }
    }

    void printRatios() const {
        std::printf("\n%-26s %12s %12s %12s %14s %14s\n", "circle", "Pelmint", "reference",
                    "contiguous", "ref / Pelmint", "Pelmint / cont");
        for (const Circle& circle : kCircles) {
            const double pelmint = find("CircleAreaAverage", circle);
            const double reference = find("reference loop", circle);
            const double contiguous = find("contiguous sum", circle);
            if (pelmint <= 0 || reference <= 0 || contiguous <= 0) {
                continue;
            }
            std::printf("%-26s %9.1f ns %9.1f ns %9.1f ns %13.1fx %13.2fx\n", circle.name, pelmint,
                        reference, contiguous, reference / pelmint, pelmint / contiguous);
        }
    }

private:
    double find(const std::string& kind, const Circle& circle) const {
        const auto found = medians_.find(kind + "/" + circle.name);
        return found == medians_.end() ? 0.0 : found->second;
    }

    std::map<std::string, double> medians_;
};

} // namespace

int main(int argc, char** argv) {
    for (const Circle& circle : kCircles) {
        const std::string suffix = std::string("/") + circle.name;
        benchmark::RegisterBenchmark(("CircleAreaAverage" + suffix).c_str(), benchPelmint, circle);
        benchmark::RegisterBenchmark(("reference loop" + suffix).c_str(), benchReference, circle);
        benchmark::RegisterBenchmark(("contiguous sum" + suffix).c_str(), benchContiguous, circle);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
