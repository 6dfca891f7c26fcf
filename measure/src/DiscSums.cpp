#include "DiscSums.h"

#ifdef PELMINT_HAVE_SSE2
#include <emmintrin.h>
#endif
#ifdef PELMINT_HAVE_AVX2
#include <immintrin.h>
#endif

namespace pelmint {

namespace {

uint64_t sumBytes(const uint8_t* run, int64_t length) {
    uint64_t sum = 0;
    for (int64_t i = 0; i < length; ++i) {
        sum += run[i];
    }
    return sum;
}

int64_t rowsPresent(const RowPair& pair) {
    return (pair.upper != nullptr) + (pair.lower != nullptr);
}

#ifdef PELMINT_HAVE_SSE2
// Masks that keep the first or last k bytes of a 16- or 32-byte load: 32 zero bytes, 32 set,
// 32 zero. The last k of w bytes: read at 32 - w + k; the first k: read at 64 - k.
alignas(64) const uint8_t kMaskBytes[96] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Row masks of the small discs, over a 16-byte load from the bounding square's left edge:
// masks[radius][dy] keeps the columns within floor(sqrt(radius^2 - dy^2)) of the centre.
struct SmallDiscTable {
    alignas(16) uint8_t masks[kSmallDiscRadius + 1][kSmallDiscRadius + 1][16];
    int64_t counts[kSmallDiscRadius + 1];
};

constexpr SmallDiscTable makeSmallDiscTable() {
    SmallDiscTable table{};
    for (int radius = 0; radius <= kSmallDiscRadius; ++radius) {
        for (int dy = -radius; dy <= radius; ++dy) {
            for (int dx = -radius; dx <= radius; ++dx) {
                if (dx * dx + dy * dy <= radius * radius) {
                    table.masks[radius][dy < 0 ? -dy : dy][radius + dx] = 0xFF;
                    ++table.counts[radius];
                }
            }
        }
    }
    return table;
}

constexpr SmallDiscTable kSmallDiscTable = makeSmallDiscTable();

PELMINT_ALWAYS_INLINE __m128i load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

PELMINT_ALWAYS_INLINE __m128i addBytes16(__m128i lanes, __m128i bytes) {
    return _mm_add_epi64(lanes, _mm_sad_epu8(bytes, _mm_setzero_si128()));
}

// A run of fewer than 16 bytes: one load that stays inside the image, masked to the run.
PELMINT_ALWAYS_INLINE __m128i addShortRun16(__m128i lanes, const uint8_t* run, int64_t length,
                                            const uint8_t* pixels, int64_t size, uint64_t& rest) {
    const int64_t offset = run - pixels;
    if (offset + 16 <= size) {
        return addBytes16(lanes, _mm_and_si128(load16(run), load16(kMaskBytes + 64 - length)));
    }
    if (offset + length >= 16) {
        return addBytes16(
            lanes, _mm_and_si128(load16(run + length - 16), load16(kMaskBytes + 16 + length)));
    }
    rest += sumBytes(run, length);
    return lanes;
}

// The end of a run of at least 16 bytes whose whole blocks up to `done` are summed: the last
// 16 bytes again, minus those already counted.
PELMINT_ALWAYS_INLINE __m128i addRunEnd16(__m128i lanes, const uint8_t* run, int64_t length,
                                          int64_t done) {
    const __m128i mask = load16(kMaskBytes + 16 + (length - done));
    return addBytes16(lanes, _mm_and_si128(load16(run + length - 16), mask));
}
#endif

#ifdef PELMINT_HAVE_AVX2
__attribute__((target("avx2"))) PELMINT_ALWAYS_INLINE __m256i load32(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2"))) PELMINT_ALWAYS_INLINE __m256i addBytes32(__m256i lanes,
                                                                         __m256i bytes) {
    return _mm256_add_epi64(lanes, _mm256_sad_epu8(bytes, _mm256_setzero_si256()));
}

__attribute__((target("avx2"))) PELMINT_ALWAYS_INLINE __m256i
addShortRun32(__m256i lanes, const uint8_t* run, int64_t length, const uint8_t* pixels,
              int64_t size, uint64_t& rest) {
    const int64_t offset = run - pixels;
    if (offset + 32 <= size) {
        return addBytes32(lanes, _mm256_and_si256(load32(run), load32(kMaskBytes + 64 - length)));
    }
    if (offset + length >= 32) {
        return addBytes32(lanes,
                          _mm256_and_si256(load32(run + length - 32), load32(kMaskBytes + length)));
    }
    rest += sumBytes(run, length);
    return lanes;
}

__attribute__((target("avx2"))) PELMINT_ALWAYS_INLINE __m256i addRunEnd32(__m256i lanes,
                                                                          const uint8_t* run,
                                                                          int64_t length,
                                                                          int64_t done) {
    const __m256i mask = load32(kMaskBytes + (length - done));
    return addBytes32(lanes, _mm256_and_si256(load32(run + length - 32), mask));
}
#endif

} // namespace

DiscTotal sumDiscScalar(DiscRows rows) {
    DiscTotal total;
    RowPair pair{};
    while (rows.next(pair)) {
        if (pair.upper != nullptr) {
            total.sum += sumBytes(pair.upper, pair.length);
        }
        if (pair.lower != nullptr) {
            total.sum += sumBytes(pair.lower, pair.length);
        }
        total.count += pair.length * rowsPresent(pair);
    }
    return total;
}

#ifdef PELMINT_HAVE_SSE2
DiscTotal sumSmallDiscSse2(const uint8_t* centre, int64_t width, int radius) {
    const auto& masks = kSmallDiscTable.masks[radius];
    const uint8_t* row = centre - radius * width - radius;
    __m128i lanes = _mm_setzero_si128();
    for (int dy = -radius; dy <= radius; ++dy, row += width) {
        const __m128i mask =
            _mm_load_si128(reinterpret_cast<const __m128i*>(masks[dy < 0 ? -dy : dy]));
        lanes = addBytes16(lanes, _mm_and_si128(load16(row), mask));
    }
    uint64_t parts[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(parts), lanes);
    return DiscTotal{parts[0] + parts[1], kSmallDiscTable.counts[radius]};
}

DiscTotal sumDiscSse2(DiscRows rows, const uint8_t* pixels, int64_t size) {
    __m128i upperLanes = _mm_setzero_si128();
    __m128i lowerLanes = _mm_setzero_si128();
    DiscTotal total;
    RowPair pair{};
    while (rows.next(pair)) {
        const int64_t length = pair.length;
        if (length == 0) {
            continue;
        }
        total.count += length * rowsPresent(pair);
        if (pair.upper != nullptr && pair.lower != nullptr) {
            if (length < 16) {
                upperLanes = addShortRun16(upperLanes, pair.upper, length, pixels, size, total.sum);
                lowerLanes = addShortRun16(lowerLanes, pair.lower, length, pixels, size, total.sum);
                continue;
            }
            int64_t done = 0;
            for (; length - done >= 16; done += 16) {
                upperLanes = addBytes16(upperLanes, load16(pair.upper + done));
                lowerLanes = addBytes16(lowerLanes, load16(pair.lower + done));
            }
            upperLanes = addRunEnd16(upperLanes, pair.upper, length, done);
            lowerLanes = addRunEnd16(lowerLanes, pair.lower, length, done);
        } else {
            const uint8_t* run = pair.upper != nullptr ? pair.upper : pair.lower;
            if (length < 16) {
                upperLanes = addShortRun16(upperLanes, run, length, pixels, size, total.sum);
                continue;
            }
            int64_t done = 0;
            for (; length - done >= 16; done += 16) {
                upperLanes = addBytes16(upperLanes, load16(run + done));
            }
            upperLanes = addRunEnd16(upperLanes, run, length, done);
        }
    }
    uint64_t parts[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(parts), _mm_add_epi64(upperLanes, lowerLanes));
    total.sum += parts[0] + parts[1];
    return total;
}
#endif

#ifdef PELMINT_HAVE_AVX2
__attribute__((target("avx2"))) DiscTotal sumDiscAvx2(DiscRows rows, const uint8_t* pixels,
                                                      int64_t size) {
    __m256i upperLanes = _mm256_setzero_si256();
    __m256i lowerLanes = _mm256_setzero_si256();
    DiscTotal total;
    RowPair pair{};
    while (rows.next(pair)) {
        const int64_t length = pair.length;
        if (length == 0) {
            continue;
        }
        total.count += length * rowsPresent(pair);
        if (pair.upper != nullptr && pair.lower != nullptr) {
            if (length < 32) {
                upperLanes = addShortRun32(upperLanes, pair.upper, length, pixels, size, total.sum);
                lowerLanes = addShortRun32(lowerLanes, pair.lower, length, pixels, size, total.sum);
                continue;
            }
            int64_t done = 0;
            for (; length - done >= 32; done += 32) {
                upperLanes = addBytes32(upperLanes, load32(pair.upper + done));
                lowerLanes = addBytes32(lowerLanes, load32(pair.lower + done));
            }
            upperLanes = addRunEnd32(upperLanes, pair.upper, length, done);
            lowerLanes = addRunEnd32(lowerLanes, pair.lower, length, done);
        } else {
            const uint8_t* run = pair.upper != nullptr ? pair.upper : pair.lower;
            if (length < 32) {
                upperLanes = addShortRun32(upperLanes, run, length, pixels, size, total.sum);
                continue;
            }
            int64_t done = 0;
            for (; length - done >= 32; done += 32) {
                upperLanes = addBytes32(upperLanes, load32(run + done));
            }
            upperLanes = addRunEnd32(upperLanes, run, length, done);
        }
    }
    uint64_t parts[4];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(parts),
                        _mm256_add_epi64(upperLanes, lowerLanes));
    total.sum += parts[0] + parts[1] + parts[2] + parts[3];
    return total;
}
#endif

} // namespace pelmint
