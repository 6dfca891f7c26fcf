#include "DiscSums.h"

#ifdef PELMINT_HAVE_SSE2
#include <emmintrin.h>
#endif
#ifdef PELMINT_HAVE_AVX2
// GCC 12's AVX-512 intrinsics start their results from a self-initialised "undefined" vector
// and then warn about it, at their own lines (GCC bug 105593).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

// Each width's entry point has every call inside it inlined, so the one loop below is compiled
// once per instruction set, with that set's instructions.
#if defined(__GNUC__) || defined(__clang__)
#define PELMINT_FLATTEN __attribute__((flatten))
#else
#define PELMINT_FLATTEN
#endif
#define PELMINT_TARGET_AVX2 __attribute__((target("avx2")))
#define PELMINT_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512bw")))

namespace pelmint {

namespace {

// A square is at most 255^2; every 32-bit lane of squares takes four of them per block, so it
// is emptied into 64-bit lanes well before it could wrap.
constexpr int64_t kBlocksPerFlush = 16384;

// The one summing loop. `Lanes` totals whole blocks of Lanes::kWidth bytes, and windows of
// kWidth bytes of which only the bytes [from, to) count; it never sees where a row begins or ends.
// The wider lanes' members are not forced inline here, where the loop is still plain x86-64: the
// flattened entry point of their width pulls them in. The two rows of a pair have their own
// lanes, so that their sums do not wait on each other.
template <class Lanes> class RowSummer {
public:
    RowSummer(const uint8_t* pixels, int64_t size) : pixels_(pixels), size_(size) {}

    PELMINT_ALWAYS_INLINE int64_t sum(DiscRows rows) {
        int64_t count = 0;
        RowPair pair{};
        while (rows.next(pair)) {
            const int64_t length = pair.length;
            if (length == 0) {
                continue;
            }
            if (pair.upper != nullptr && pair.lower != nullptr) {
                count += 2 * length;
                if (length <= kWidth) {
                    makeRoom(Lanes::kOneSet ? 2 : 1);
                    addShortRun(upper_, pair.upper, length);
                    addShortRun(lower(), pair.lower, length);
                    continue;
                }
                const int64_t done = addWholeBlocks(length, 2, [&](int64_t offset) {
                    upper_.block(pair.upper + offset);
                    lower().block(pair.lower + offset);
                });
                addRunEnd(upper_, pair.upper, length, done);
                addRunEnd(lower(), pair.lower, length, done);
            } else {
                const uint8_t* run = pair.upper != nullptr ? pair.upper : pair.lower;
                count += length;
                if (length <= kWidth) {
                    makeRoom(1);
                    addShortRun(upper_, run, length);
                    continue;
                }
                const int64_t done =
                    addWholeBlocks(length, 1, [&](int64_t offset) { upper_.block(run + offset); });
                addRunEnd(upper_, run, length, done);
            }
        }
        return count;
    }

    PELMINT_ALWAYS_INLINE void finish(DiscTotals& totals) {
        upper_.finish(totals);
        if constexpr (!Lanes::kOneSet) {
            lower_.finish(totals);
        }
    }

private:
    static constexpr int64_t kWidth = Lanes::kWidth;

    // A run of at most one vector: one window. Near the end of the image the window moves back
    // so that it stays inside; masked loads need no such care.
    PELMINT_ALWAYS_INLINE void addShortRun(Lanes& lanes, const uint8_t* run, int64_t length) {
        const int64_t offset = run - pixels_;
        if (Lanes::kMaskedLoads || offset + kWidth <= size_) {
            lanes.window(run, 0, length);
        } else {
            const int64_t from = offset - (size_ - kWidth);
            lanes.window(pixels_ + size_ - kWidth, from, from + length);
        }
    }

    // The whole blocks of a run longer than one vector, all but its last window; returns where
    // they end. Lanes that must be emptied now and then get room per chunk of a row, not per
    // block, so that the loop itself stays as bare as the mean's.
    template <class AddBlock>
    PELMINT_ALWAYS_INLINE int64_t addWholeBlocks(int64_t length, int64_t rows, AddBlock addBlock) {
        // Rows that share their lanes fill them together.
        const int64_t fill = Lanes::kOneSet ? rows : 1;
        const int64_t end = length - kWidth;
        int64_t done = 0;
        if constexpr (Lanes::kFlushEvery != 0) {
            // Rows longer than a chunk are rare: only images wider than a few hundred thousand
            // pixels have them.
            while (end - done > kChunkBlocks * kWidth) {
                makeRoom(fill * kChunkBlocks);
                for (const int64_t stop = done + kChunkBlocks * kWidth; done < stop;
                     done += kWidth) {
                    addBlock(done);
                }
            }
            // The blocks left and the run's last window.
            makeRoom(fill * ((end - done) / kWidth + 2));
        }
        for (; done < end; done += kWidth) {
            addBlock(done);
        }
        return done;
    }

    // The last window ends with the run; the bytes already counted are masked off.
    PELMINT_ALWAYS_INLINE void addRunEnd(Lanes& lanes, const uint8_t* run, int64_t length,
                                         int64_t done) {
        lanes.window(run + length - kWidth, kWidth - (length - done), kWidth);
    }

    // Each set of lanes is about to take up to `blocks` more blocks.
    PELMINT_ALWAYS_INLINE void makeRoom(int64_t blocks) {
        if constexpr (Lanes::kFlushEvery != 0) {
            if (pending_ + blocks > Lanes::kFlushEvery) {
                upper_.flush();
                if constexpr (!Lanes::kOneSet) {
                    lower_.flush();
                }
                pending_ = 0;
            }
            pending_ += blocks;
        } else {
            static_cast<void>(blocks);
        }
    }

    static constexpr int64_t kChunkBlocks = Lanes::kFlushEvery > 0 ? Lanes::kFlushEvery / 4 : 1;

    const uint8_t* pixels_;
    int64_t size_;
    int64_t pending_ = 0;
    Lanes upper_;
    Lanes lower_;

    // The statistics have work enough per block to hide the wait on one set of lanes, and the
    // registers of a second set would spill.
    PELMINT_ALWAYS_INLINE Lanes& lower() {
        if constexpr (Lanes::kOneSet) {
            return upper_;
        } else {
            return lower_;
        }
    }
};

template <class Lanes>
PELMINT_ALWAYS_INLINE DiscTotals totalDisc(const DiscRows& rows, const uint8_t* pixels,
                                           int64_t size) {
    RowSummer<Lanes> summer(pixels, size);
    DiscTotals totals;
    totals.count = summer.sum(rows);
    summer.finish(totals);
    return totals;
}

// One byte at a time: the plain path, and the one for images narrower than a vector.
template <Totals kTotals> struct ScalarLanes {
    static constexpr int64_t kWidth = 1;
    static constexpr bool kMaskedLoads = false;
    static constexpr bool kOneSet = kTotals == Totals::Statistics;
    static constexpr int64_t kFlushEvery = 0;

    PELMINT_ALWAYS_INLINE void block(const uint8_t* p) {
        const uint64_t value = *p;
        sum += value;
        if constexpr (kTotals == Totals::Statistics) {
            squares += value * value;
            low = std::min<uint8_t>(low, *p);
            high = std::max<uint8_t>(high, *p);
        }
    }
    PELMINT_ALWAYS_INLINE void window(const uint8_t* p, int64_t from, int64_t to) {
        if (from < to) {
            block(p);
        }
    }
    void flush() {}
    void finish(DiscTotals& totals) const {
        totals.sum += sum;
        totals.squares += squares;
        totals.min = std::min<uint8_t>(totals.min, low);
        totals.max = std::max<uint8_t>(totals.max, high);
    }

    uint64_t sum = 0;
    uint64_t squares = 0;
    uint8_t low = 255;
    uint8_t high = 0;
};

#ifdef PELMINT_HAVE_SSE2
// Masks that keep the first k bytes of a 16- or 32-byte load, read at 64 - k: 32 zero bytes,
// 32 set, 32 zero.
alignas(64) const uint8_t kMaskBytes[96] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

PELMINT_ALWAYS_INLINE __m128i load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

PELMINT_ALWAYS_INLINE uint64_t addLanes(__m128i lanes) {
    uint64_t parts[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(parts), lanes);
    return parts[0] + parts[1];
}

PELMINT_ALWAYS_INLINE uint8_t largestByte(__m128i bytes) {
    bytes = _mm_max_epu8(bytes, _mm_srli_si128(bytes, 8));
    bytes = _mm_max_epu8(bytes, _mm_srli_si128(bytes, 4));
    bytes = _mm_max_epu8(bytes, _mm_srli_si128(bytes, 2));
    bytes = _mm_max_epu8(bytes, _mm_srli_si128(bytes, 1));
    return static_cast<uint8_t>(_mm_cvtsi128_si32(bytes));
}

PELMINT_ALWAYS_INLINE uint8_t smallestByte(__m128i bytes) {
    return static_cast<uint8_t>(255 - largestByte(_mm_xor_si128(bytes, _mm_set1_epi8(-1))));
}

// Bytes outside a window count as 0 towards the sums and the largest byte, and as 255 towards the
// smallest.
template <Totals kTotals> struct Sse2Lanes {
    static constexpr int64_t kWidth = 16;
    static constexpr bool kOneSet = kTotals == Totals::Statistics;
    static constexpr bool kMaskedLoads = false;
    static constexpr int64_t kFlushEvery = kTotals == Totals::Statistics ? kBlocksPerFlush : 0;

    PELMINT_ALWAYS_INLINE void block(const uint8_t* p) {
        const __m128i bytes = load16(p);
        add(bytes, bytes);
    }
    PELMINT_ALWAYS_INLINE void window(const uint8_t* p, int64_t from, int64_t to) {
        const __m128i keep =
            _mm_andnot_si128(load16(kMaskBytes + 64 - from), load16(kMaskBytes + 64 - to));
        const __m128i bytes = load16(p);
        add(_mm_and_si128(bytes, keep),
            _mm_or_si128(bytes, _mm_cmpeq_epi8(keep, _mm_setzero_si128())));
    }
    PELMINT_ALWAYS_INLINE void add(__m128i bytes, __m128i forMin) {
        sums = _mm_add_epi64(sums, _mm_sad_epu8(bytes, _mm_setzero_si128()));
        if constexpr (kTotals == Totals::Statistics) {
            const __m128i even = _mm_and_si128(bytes, _mm_set1_epi16(0xFF));
            const __m128i odd = _mm_srli_epi16(bytes, 8);
            squares32 = _mm_add_epi32(
                squares32, _mm_add_epi32(_mm_madd_epi16(even, even), _mm_madd_epi16(odd, odd)));
            high = _mm_max_epu8(high, bytes);
            low = _mm_min_epu8(low, forMin);
        }
    }
    PELMINT_ALWAYS_INLINE void flush() {
        const __m128i even = _mm_and_si128(squares32, _mm_set1_epi64x(0xFFFFFFFF));
        squares64 = _mm_add_epi64(squares64, _mm_add_epi64(even, _mm_srli_epi64(squares32, 32)));
        squares32 = _mm_setzero_si128();
    }
    PELMINT_ALWAYS_INLINE void finish(DiscTotals& totals) {
        totals.sum += addLanes(sums);
        if constexpr (kTotals == Totals::Statistics) {
            flush();
            totals.squares += addLanes(squares64);
            totals.max = std::max<uint8_t>(totals.max, largestByte(high));
            totals.min = std::min<uint8_t>(totals.min, smallestByte(low));
        }
    }

    __m128i sums{};
    __m128i squares32{};
    __m128i squares64{};
    __m128i high{};
    __m128i low = _mm_set1_epi8(-1);
};
#endif

#ifdef PELMINT_HAVE_AVX2
PELMINT_TARGET_AVX2 PELMINT_ALWAYS_INLINE __m256i load32(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

enum class Fold { Add64, Max8, Min8 };

PELMINT_TARGET_AVX2 PELMINT_ALWAYS_INLINE __m128i combine(__m128i a, __m128i b, Fold fold) {
    return fold == Fold::Add64  ? _mm_add_epi64(a, b)
           : fold == Fold::Max8 ? _mm_max_epu8(a, b)
                                : _mm_min_epu8(a, b);
}

PELMINT_TARGET_AVX2 PELMINT_ALWAYS_INLINE __m128i foldHalves(__m256i lanes, Fold fold) {
    return combine(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1), fold);
}

template <Totals kTotals> struct Avx2Lanes {
    static constexpr int64_t kWidth = 32;
    static constexpr bool kOneSet = kTotals == Totals::Statistics;
    static constexpr bool kMaskedLoads = false;
    static constexpr int64_t kFlushEvery = kTotals == Totals::Statistics ? kBlocksPerFlush : 0;

    PELMINT_TARGET_AVX2 Avx2Lanes() : low(_mm256_set1_epi8(-1)) {}

    PELMINT_TARGET_AVX2 void block(const uint8_t* p) {
        const __m256i bytes = load32(p);
        add(bytes, bytes);
    }
    PELMINT_TARGET_AVX2 void window(const uint8_t* p, int64_t from, int64_t to) {
        const __m256i keep =
            _mm256_andnot_si256(load32(kMaskBytes + 64 - from), load32(kMaskBytes + 64 - to));
        const __m256i bytes = load32(p);
        add(_mm256_and_si256(bytes, keep),
            _mm256_or_si256(bytes, _mm256_cmpeq_epi8(keep, _mm256_setzero_si256())));
    }
    PELMINT_TARGET_AVX2 PELMINT_ALWAYS_INLINE void add(__m256i bytes, __m256i forMin) {
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(bytes, _mm256_setzero_si256()));
        if constexpr (kTotals == Totals::Statistics) {
            const __m256i even = _mm256_and_si256(bytes, _mm256_set1_epi16(0xFF));
            const __m256i odd = _mm256_srli_epi16(bytes, 8);
            squares32 = _mm256_add_epi32(squares32, _mm256_add_epi32(_mm256_madd_epi16(even, even),
                                                                     _mm256_madd_epi16(odd, odd)));
            high = _mm256_max_epu8(bytes, high);
            low = _mm256_min_epu8(forMin, low);
        }
    }
    PELMINT_TARGET_AVX2 void flush() {
        const __m256i even = _mm256_and_si256(squares32, _mm256_set1_epi64x(0xFFFFFFFF));
        squares64 =
            _mm256_add_epi64(squares64, _mm256_add_epi64(even, _mm256_srli_epi64(squares32, 32)));
        squares32 = _mm256_setzero_si256();
    }
    PELMINT_TARGET_AVX2 void finish(DiscTotals& totals) {
        totals.sum += addLanes(foldHalves(sums, Fold::Add64));
        if constexpr (kTotals == Totals::Statistics) {
            flush();
            totals.squares += addLanes(foldHalves(squares64, Fold::Add64));
            totals.max = std::max<uint8_t>(totals.max, largestByte(foldHalves(high, Fold::Max8)));
            totals.min = std::min<uint8_t>(totals.min, smallestByte(foldHalves(low, Fold::Min8)));
        }
    }

    __m256i sums{};
    __m256i squares32{};
    __m256i squares64{};
    __m256i high{};
    __m256i low{};
};
#endif

#ifdef PELMINT_HAVE_AVX512
// Masked loads read nothing outside the mask, so a window may start anywhere.
template <Totals kTotals> struct Avx512Lanes {
    static constexpr int64_t kWidth = 64;
    static constexpr bool kOneSet = kTotals == Totals::Statistics;
    static constexpr bool kMaskedLoads = true;
    static constexpr int64_t kFlushEvery = kTotals == Totals::Statistics ? kBlocksPerFlush : 0;

    PELMINT_TARGET_AVX512 Avx512Lanes() : low(_mm512_set1_epi8(-1)) {}

    PELMINT_TARGET_AVX512 void block(const uint8_t* p) {
        add(_mm512_loadu_si512(p), ~__mmask64{0});
    }
    PELMINT_TARGET_AVX512 void window(const uint8_t* p, int64_t from, int64_t to) {
        const uint64_t upTo = to >= 64 ? ~uint64_t{0} : (uint64_t{1} << to) - 1;
        const __mmask64 keep = upTo & (~uint64_t{0} << from);
        add(_mm512_maskz_loadu_epi8(keep, p), keep);
    }
    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE void add(__m512i bytes, __mmask64 keep) {
        sums = _mm512_add_epi64(sums, _mm512_sad_epu8(bytes, _mm512_setzero_si512()));
        if constexpr (kTotals == Totals::Statistics) {
            const __m512i even = _mm512_and_si512(bytes, _mm512_set1_epi16(0xFF));
            const __m512i odd = _mm512_srli_epi16(bytes, 8);
            squares32 = _mm512_add_epi32(squares32, _mm512_add_epi32(_mm512_madd_epi16(even, even),
                                                                     _mm512_madd_epi16(odd, odd)));
            high = _mm512_max_epu8(high, bytes);
            low = _mm512_mask_min_epu8(low, keep, low, bytes);
        }
    }
    PELMINT_TARGET_AVX512 void flush() {
        const __m512i even = _mm512_and_si512(squares32, _mm512_set1_epi64(0xFFFFFFFF));
        squares64 =
            _mm512_add_epi64(squares64, _mm512_add_epi64(even, _mm512_srli_epi64(squares32, 32)));
        squares32 = _mm512_setzero_si512();
    }
    // Through memory: GCC 12's extract intrinsics trip its own uninitialised-value warning.
    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE static __m128i fold(__m512i lanes, Fold how) {
        alignas(64) uint8_t quarters[64];
        _mm512_store_si512(quarters, lanes);
        const __m128i a = combine(load16(quarters), load16(quarters + 16), how);
        return combine(a, combine(load16(quarters + 32), load16(quarters + 48), how), how);
    }
    PELMINT_TARGET_AVX512 void finish(DiscTotals& totals) {
        totals.sum += addLanes(fold(sums, Fold::Add64));
        if constexpr (kTotals == Totals::Statistics) {
            flush();
            totals.squares += addLanes(fold(squares64, Fold::Add64));
            totals.max = std::max<uint8_t>(totals.max, largestByte(fold(high, Fold::Max8)));
            totals.min = std::min<uint8_t>(totals.min, smallestByte(fold(low, Fold::Min8)));
        }
    }

    __m512i sums{};
    __m512i squares32{};
    __m512i squares64{};
    __m512i high{};
    __m512i low{};
};
#endif

// The entry point of each width, compiled for its instruction set.
PELMINT_FLATTEN DiscTotals sumScalar(const DiscRows& rows, const uint8_t* pixels, int64_t size) {
    return totalDisc<ScalarLanes<Totals::Sum>>(rows, pixels, size);
}
PELMINT_FLATTEN DiscTotals statisticsScalar(const DiscRows& rows, const uint8_t* pixels,
                                            int64_t size) {
    return totalDisc<ScalarLanes<Totals::Statistics>>(rows, pixels, size);
}
#ifdef PELMINT_HAVE_SSE2
PELMINT_FLATTEN DiscTotals sumSse2(const DiscRows& rows, const uint8_t* pixels, int64_t size) {
    return totalDisc<Sse2Lanes<Totals::Sum>>(rows, pixels, size);
}
PELMINT_FLATTEN DiscTotals statisticsSse2(const DiscRows& rows, const uint8_t* pixels,
                                          int64_t size) {
    return totalDisc<Sse2Lanes<Totals::Statistics>>(rows, pixels, size);
}
#endif
#ifdef PELMINT_HAVE_AVX2
PELMINT_TARGET_AVX2 PELMINT_FLATTEN DiscTotals sumAvx2(const DiscRows& rows, const uint8_t* pixels,
                                                       int64_t size) {
    return totalDisc<Avx2Lanes<Totals::Sum>>(rows, pixels, size);
}
PELMINT_TARGET_AVX2 PELMINT_FLATTEN DiscTotals statisticsAvx2(const DiscRows& rows,
                                                              const uint8_t* pixels, int64_t size) {
    return totalDisc<Avx2Lanes<Totals::Statistics>>(rows, pixels, size);
}
#endif
#ifdef PELMINT_HAVE_AVX512
PELMINT_TARGET_AVX512 PELMINT_FLATTEN DiscTotals sumAvx512(const DiscRows& rows,
                                                           const uint8_t* pixels, int64_t size) {
    return totalDisc<Avx512Lanes<Totals::Sum>>(rows, pixels, size);
}
PELMINT_TARGET_AVX512 PELMINT_FLATTEN DiscTotals statisticsAvx512(const DiscRows& rows,
                                                                  const uint8_t* pixels,
                                                                  int64_t size) {
    return totalDisc<Avx512Lanes<Totals::Statistics>>(rows, pixels, size);
}
#endif

#ifdef PELMINT_HAVE_SSE2
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
#endif

} // namespace

DiscTotals sumDisc(SumPath path, Totals totals, const DiscRows& rows, const uint8_t* pixels,
                   int64_t size) {
    const bool statistics = totals == Totals::Statistics;
    // Images smaller than one vector take the next narrower width.
    switch (path) {
    case SumPath::Avx512:
#ifdef PELMINT_HAVE_AVX512
        return statistics ? statisticsAvx512(rows, pixels, size) : sumAvx512(rows, pixels, size);
#endif
    case SumPath::Avx2:
#ifdef PELMINT_HAVE_AVX2
        if (size >= 32) {
            return statistics ? statisticsAvx2(rows, pixels, size) : sumAvx2(rows, pixels, size);
        }
#endif
        [[fallthrough]];
    case SumPath::Sse2:
#ifdef PELMINT_HAVE_SSE2
        if (size >= 16) {
            return statistics ? statisticsSse2(rows, pixels, size) : sumSse2(rows, pixels, size);
        }
#endif
        [[fallthrough]];
    case SumPath::Scalar:
        break;
    }
    return statistics ? statisticsScalar(rows, pixels, size) : sumScalar(rows, pixels, size);
}

#ifdef PELMINT_HAVE_SSE2
DiscTotals sumSmallDiscSse2(const uint8_t* centre, int64_t stride, int radius) {
    const auto& masks = kSmallDiscTable.masks[radius];
    const uint8_t* row = centre - radius * stride - radius;
    __m128i lanes = _mm_setzero_si128();
    for (int dy = -radius; dy <= radius; ++dy, row += stride) {
        const __m128i mask =
            _mm_load_si128(reinterpret_cast<const __m128i*>(masks[dy < 0 ? -dy : dy]));
        lanes = _mm_add_epi64(lanes,
                              _mm_sad_epu8(_mm_and_si128(load16(row), mask), _mm_setzero_si128()));
    }
    DiscTotals totals;
    totals.sum = addLanes(lanes);
    totals.count = kSmallDiscTable.counts[radius];
    return totals;
}
#endif

} // namespace pelmint
