// CircleAreaAverage on a 512 x 480 random image against the plain per-pixel loop and against the
// fastest sum of as many contiguous bytes as the disc holds (the limit), over centred circles and
// circles clipped by every edge and corner. Prints the ratios after the usual table; it decides
// nothing.

// Standard library
#include <algorithm>
#include <chrono>
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
    std::string name;
    int32_t centreX;
    int32_t centreY;
    int32_t radius;
};

// Against the per-pixel loop.
const std::vector<Circle> kCircles = {
    {"radius 3", 256, 240, 3},
    {"radius 50", 256, 240, 50},
    {"radius 200", 256, 240, 200},
    {"half outside, radius 150", 0, 240, 150},
};

// Against the contiguous limit: centred, and centred on every edge and corner.
std::vector<Circle> limitCircles() {
    struct Place {
        const char* name;
        int32_t x, y;
    };
    const Place places[] = {
        {"centre", 256, 240},  {"left", 0, 240},        {"right", 511, 240},
        {"top", 256, 0},       {"bottom", 256, 479},    {"top-left", 0, 0},
        {"top-right", 511, 0}, {"bottom-left", 0, 479}, {"bottom-right", 511, 479}};
    std::vector<Circle> circles;
    for (const Place& place : places) {
        // 47 and 50 either side of where a centred disc's rows outgrow the cache sets that a
        // 512-byte stride leaves them.
        for (const int32_t radius : {8, 12, 20, 35, 47, 50, 80, 120, 200, 300}) {
            const bool centred = place.x == 256;
            if (!centred && radius != 8 && radius != 20 && radius != 50 && radius != 120 &&
                radius != 300) {
                continue;
            }
            circles.push_back({std::string(place.name) + " r " + std::to_string(radius), place.x,
                               place.y, radius});
        }
    }
    return circles;
}

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
// The fastest plain sum of contiguous bytes this processor can do: two independent
// accumulators, the widest SAD it has.
__attribute__((target("avx512f,avx512bw"))) uint64_t contiguousSumAvx512(const uint8_t* bytes,
                                                                         int64_t length) {
    const __m512i zero = _mm512_setzero_si512();
    __m512i even = zero, odd = zero;
    int64_t i = 0;
    for (; i + 128 <= length; i += 128) {
        even = _mm512_add_epi64(even, _mm512_sad_epu8(_mm512_loadu_si512(bytes + i), zero));
        odd = _mm512_add_epi64(odd, _mm512_sad_epu8(_mm512_loadu_si512(bytes + i + 64), zero));
    }
    for (; i < length; i += 64) {
        const __mmask64 keep =
            length - i >= 64 ? ~__mmask64{0} : (__mmask64{1} << (length - i)) - 1;
        even =
            _mm512_add_epi64(even, _mm512_sad_epu8(_mm512_maskz_loadu_epi8(keep, bytes + i), zero));
    }
    uint64_t parts[8];
    _mm512_storeu_si512(parts, _mm512_add_epi64(even, odd));
    uint64_t sum = 0;
    for (const uint64_t part : parts) {
        sum += part;
    }
    for (; i < length; ++i) {
        sum += bytes[i];
    }
    return sum;
}

__attribute__((target("avx2"))) uint64_t contiguousSumAvx2(const uint8_t* bytes, int64_t length) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i even = zero, odd = zero;
    int64_t i = 0;
    for (; i + 64 <= length; i += 64) {
        const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 32));
        even = _mm256_add_epi64(even, _mm256_sad_epu8(first, zero));
        odd = _mm256_add_epi64(odd, _mm256_sad_epu8(second, zero));
    }
    if (i + 32 <= length) {
        even = _mm256_add_epi64(
            even,
            _mm256_sad_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i)), zero));
        i += 32;
    }
    if (i < length && length >= 32) {
        // The last 32 bytes again, the ones already counted masked off.
        const __m256i counted = _mm256_set1_epi8(static_cast<char>(length - i));
        const __m256i index =
            _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15,
                             14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
        const __m256i keep =
            _mm256_cmpgt_epi8(_mm256_add_epi8(counted, _mm256_set1_epi8(1)), index);
        const __m256i last =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + length - 32));
        odd = _mm256_add_epi64(odd, _mm256_sad_epu8(_mm256_and_si256(last, keep), zero));
        i = length;
    }
    uint64_t parts[4];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(parts), _mm256_add_epi64(even, odd));
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
    __m128i even = zero, odd = zero;
    int64_t i = 0;
    for (; i + 32 <= length; i += 32) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 16));
        even = _mm_add_epi64(even, _mm_sad_epu8(first, zero));
        odd = _mm_add_epi64(odd, _mm_sad_epu8(second, zero));
    }
    uint64_t parts[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(parts), _mm_add_epi64(even, odd));
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

enum class Width { Sse2, Avx2, Avx512 };

Width widestSum() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
        return Width::Avx512;
    }
    if (__builtin_cpu_supports("avx2")) {
        return Width::Avx2;
    }
#endif
    return Width::Sse2;
}

const char* widthName(Width width) {
    switch (width) {
    case Width::Avx512:
        return "AVX-512";
    case Width::Avx2:
        return "AVX2";
    case Width::Sse2:
        break;
    }
    return "SSE2";
}

uint64_t contiguousSum(const uint8_t* bytes, int64_t length) {
    static const Width widest = widestSum();
#if defined(__x86_64__) || defined(__i386__)
    if (widest == Width::Avx512) {
        return contiguousSumAvx512(bytes, length);
    }
    if (widest == Width::Avx2) {
        return contiguousSumAvx2(bytes, length);
    }
#endif
    return contiguousSumSse2(bytes, length);
}

// One call of the average, which the compiler may neither drop nor hoist.
void averageOnce(const uint8_t* pixels, const Circle& circle) {
    benchmark::DoNotOptimize(pixels);
    benchmark::DoNotOptimize(CircleAreaAverage(pixels, kWidth, kHeight, 8, circle.centreX,
                                               circle.centreY, circle.radius));
}

void benchPelmint(benchmark::State& state, Circle circle) {
    const uint8_t* pixels = image().data();
    for (auto _ : state) {
        averageOnce(pixels, circle);
    }
}

// The statistics against the average on the same circle.
const std::vector<Circle> kStatisticsCircles = {
    {"centre r 50", 256, 240, 50},
    {"centre r 200", 256, 240, 200},
};

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

// Two ways of measuring one circle in turn, a round of calls each per iteration, so that both see
// the same machine: on a shared machine whose clock changes, two benchmarks run a second apart
// can differ by more than the ratio being measured. The fastest round of each is kept, in the
// counters "first_ns" and "second_ns".
template <class First, class Second>
void inTurn(benchmark::State& state, First first, Second second) {
    using Clock = std::chrono::steady_clock;
    constexpr int kRound = 200;
    double fastestFirst = 1e300, fastestSecond = 1e300;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int call = 0; call < kRound; ++call) {
            first();
        }
        const auto middle = Clock::now();
        for (int call = 0; call < kRound; ++call) {
            second();
        }
        const auto end = Clock::now();
        fastestFirst = std::min(fastestFirst,
                                std::chrono::duration<double, std::nano>(middle - start).count());
        fastestSecond =
            std::min(fastestSecond, std::chrono::duration<double, std::nano>(end - middle).count());
    }
    state.counters["first_ns"] = fastestFirst / kRound;
    state.counters["second_ns"] = fastestSecond / kRound;
}

void benchAgainstLimit(benchmark::State& state, Circle circle) {
    const uint8_t* pixels = image().data();
    const int64_t length = discPixelCount(circle);
    inTurn(
        state, [&] { averageOnce(pixels, circle); },
        [&] {
            benchmark::DoNotOptimize(pixels);
            benchmark::DoNotOptimize(contiguousSum(pixels, length));
        });
    state.counters["bytes"] = static_cast<double>(length);
}

void benchStatisticsAgainstAverage(benchmark::State& state, Circle circle) {
    const uint8_t* pixels = image().data();
    PelmintStatistics statistics{};
    inTurn(
        state, [&] { averageOnce(pixels, circle); },
        [&] {
            benchmark::DoNotOptimize(pixels);
            benchmark::DoNotOptimize(CircleAreaStatistics(pixels, kWidth, kHeight, kWidth,
                                                          circle.centreX, circle.centreY,
                                                          circle.radius, &statistics));
            benchmark::ClobberMemory();
        });
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
                for (const auto& [counter, value] : run.counters) {
                    counters_[name + ":" + counter] = value.value;
                }
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
            std::printf("%-26s %9.1f ns %9.1f ns %9.1f ns %13.1fx %13.2fx\n", circle.name.c_str(),
                        pelmint, reference, contiguous, reference / pelmint, pelmint / contiguous);
        }
        std::printf("\nlimit: %s contiguous sum, two accumulators, timed in turn with Pelmint\n"
                    "%-20s %8s %12s %12s %9s\n",
                    widthName(widestSum()), "circle", "bytes", "Pelmint", "limit", "ratio");
        for (const Circle& circle : limitCircles()) {
            const std::string name = "against the limit/" + circle.name;
            const double pelmint = counter(name, "first_ns");
            const double limit = counter(name, "second_ns");
            if (pelmint <= 0 || limit <= 0) {
                continue;
            }
            std::printf("%-20s %8lld %9.1f ns %9.1f ns %8.2fx\n", circle.name.c_str(),
                        static_cast<long long>(discPixelCount(circle)), pelmint, limit,
                        pelmint / limit);
        }
        std::printf("\n%-20s %12s %12s %9s\n", "circle", "average", "statistics", "ratio");
        for (const Circle& circle : kStatisticsCircles) {
            const std::string name = "statistics against the average/" + circle.name;
            const double average = counter(name, "first_ns");
            const double statistics = counter(name, "second_ns");
            if (average <= 0 || statistics <= 0) {
                continue;
            }
            std::printf("%-20s %9.1f ns %9.1f ns %8.2fx\n", circle.name.c_str(), average,
                        statistics, statistics / average);
        }
    }

private:
    double find(const std::string& kind, const Circle& circle) const {
        const auto found = medians_.find(kind + "/" + circle.name);
        return found == medians_.end() ? 0.0 : found->second;
    }

    double counter(const std::string& name, const std::string& counter) const {
        const auto found = counters_.find(name + ":" + counter);
        return found == counters_.end() ? 0.0 : found->second;
    }

    std::map<std::string, double> medians_;
    std::map<std::string, double> counters_;
};

} // namespace

int main(int argc, char** argv) {
    // A limit that miscounts would flatter nothing; check it before timing it.
    for (int64_t length = 0; length <= 1000; ++length) {
        uint64_t plain = 0;
        for (int64_t i = 0; i < length; ++i) {
            plain += image()[size_t(i)];
        }
        if (contiguousSum(image().data(), length) != plain) {
            std::fprintf(stderr, "contiguous sum wrong at length %lld\n",
                         static_cast<long long>(length));
            return 1;
        }
    }
    for (const Circle& circle : kCircles) {
        const std::string suffix = "/" + circle.name;
        benchmark::RegisterBenchmark(("CircleAreaAverage" + suffix).c_str(), benchPelmint, circle);
        benchmark::RegisterBenchmark(("reference loop" + suffix).c_str(), benchReference, circle);
        benchmark::RegisterBenchmark(("contiguous sum" + suffix).c_str(), benchContiguous, circle);
    }
    for (const Circle& circle : limitCircles()) {
        benchmark::RegisterBenchmark(("against the limit/" + circle.name).c_str(),
                                     benchAgainstLimit, circle);
    }
    for (const Circle& circle : kStatisticsCircles) {
        benchmark::RegisterBenchmark(("statistics against the average/" + circle.name).c_str(),
                                     benchStatisticsAgainstAverage, circle);
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
