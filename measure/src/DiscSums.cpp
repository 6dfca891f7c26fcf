#include "DiscSums.h"

// Standard library
#include <utility>

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
// The few windows of a row, written out.
#if defined(__GNUC__) && !defined(__clang__)
#define PELMINT_UNROLL _Pragma("GCC unroll 4")
#elif defined(__clang__)
#define PELMINT_UNROLL _Pragma("unroll")
#else
#define PELMINT_UNROLL
#endif
#define PELMINT_TARGET_AVX2 __attribute__((target("avx2")))
#define PELMINT_TARGET_AVX512 __attribute__((target("avx2,bmi2,popcnt,avx512f,avx512bw")))

namespace pelmint {

namespace {

// The discs that the masked-window walk takes: a run of at most 255 pixels lies across at most
// five 64-byte lines.
constexpr int kWindowRadius = 127;

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

template <class Lanes> PELMINT_ALWAYS_INLINE DiscTotals rowTotals(const Disc& disc, int64_t size) {
    RowSummer<Lanes> summer(disc.pixels, size);
    DiscTotals totals;
    totals.count = summer.sum(DiscRows(disc));
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
    // The statistics' blocks cost more than a load across two lines: see windowTotals.
    static constexpr bool kFewestWindows = kTotals == Totals::Statistics;

    PELMINT_TARGET_AVX512 Avx512Lanes() : low(_mm512_set1_epi8(-1)) {}

    PELMINT_TARGET_AVX512 void block(const uint8_t* p) {
        add(_mm512_loadu_si512(p), ~__mmask64{0});
    }
    PELMINT_TARGET_AVX512 void window(const uint8_t* p, int64_t from, int64_t to) {
        const uint64_t upTo = to >= 64 ? ~uint64_t{0} : (uint64_t{1} << to) - 1;
        masked(p, upTo & (~uint64_t{0} << from));
    }
    // The window walks spread their windows over slots; these lanes have one.
    template <int kSlot = 0> PELMINT_TARGET_AVX512 void masked(const uint8_t* p, __mmask64 keep) {
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
    // Folded in registers down to the first 64-bit lane. The masked forms name every input:
    // GCC 12's unmasked ones start from an "undefined" vector and warn about it.
    template <Fold kFold> PELMINT_TARGET_AVX512 static __m512i combine(__m512i a, __m512i b) {
        return kFold == Fold::Add64  ? _mm512_add_epi64(a, b)
               : kFold == Fold::Max8 ? _mm512_max_epu8(a, b)
                                     : _mm512_min_epu8(a, b);
    }
    template <Fold kFold> PELMINT_TARGET_AVX512 static uint64_t fold(__m512i lanes) {
        lanes = combine<kFold>(lanes, _mm512_mask_shuffle_i64x2(lanes, 0xFF, lanes, lanes, 0x4E));
        lanes = combine<kFold>(lanes, _mm512_mask_shuffle_i64x2(lanes, 0xFF, lanes, lanes, 0xB1));
        lanes = combine<kFold>(lanes, _mm512_mask_unpackhi_epi64(lanes, 0xFF, lanes, lanes));
        return static_cast<uint64_t>(lanes[0]);
    }
    // The other set's totals joined into these.
    PELMINT_TARGET_AVX512 void absorb(const Avx512Lanes& other) {
        sums = _mm512_add_epi64(sums, other.sums);
        if constexpr (kTotals == Totals::Statistics) {
            squares32 = _mm512_add_epi32(squares32, other.squares32);
            squares64 = _mm512_add_epi64(squares64, other.squares64);
            high = _mm512_max_epu8(high, other.high);
            low = _mm512_min_epu8(low, other.low);
        }
    }
    PELMINT_TARGET_AVX512 void finish(DiscTotals& totals) {
        totals.sum += fold<Fold::Add64>(sums);
        if constexpr (kTotals == Totals::Statistics) {
            flush();
            totals.squares += fold<Fold::Add64>(squares64);
            const __m128i high8 = _mm_cvtsi64_si128(static_cast<int64_t>(fold<Fold::Max8>(high)));
            const __m128i low8 = _mm_cvtsi64_si128(static_cast<int64_t>(fold<Fold::Min8>(low)));
            totals.max = std::max<uint8_t>(totals.max, largestByte(high8));
            // The eight bytes again in the upper half, which the 16-byte minimum also reads.
            totals.min =
                std::min<uint8_t>(totals.min, smallestByte(_mm_unpacklo_epi64(low8, low8)));
        }
    }

    __m512i sums{};
    __m512i squares32{};
    __m512i squares64{};
    __m512i high{};
    __m512i low{};
};

// The statistics with VNNI dot products. A block's squares are v * (v - 128), four to a 32-bit
// lane, with 128 times the sum added back at the end; a lane takes at most 4 * 255 * 127 of them
// per block, so kBlocksPerFlush blocks still fit in it. The window walks spread their blocks over
// two slots, each with its own chain of dot products; the row walk adds each block's products,
// taken into zero, to one set.
struct Avx512DotLanes {
    static constexpr int64_t kWidth = 64;
    static constexpr bool kOneSet = true;
    static constexpr bool kMaskedLoads = true;
    static constexpr int64_t kFlushEvery = kBlocksPerFlush;
    static constexpr bool kFewestWindows = true;
    static constexpr int kSlots = 2;

    PELMINT_TARGET_AVX512 Avx512DotLanes() : low(_mm512_set1_epi8(-1)) {}

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
        squares32[0] = _mm512_add_epi32(squares32[0], dot(_mm512_setzero_si512(), bytes));
        high = _mm512_max_epu8(high, bytes);
        low = _mm512_mask_min_epu8(low, keep, low, bytes);
    }
    template <int kSlot = 0> PELMINT_TARGET_AVX512 void masked(const uint8_t* p, __mmask64 keep) {
        const __m512i bytes = _mm512_maskz_loadu_epi8(keep, p);
        sums32[kSlot] = dot(sums32[kSlot], bytes, _mm512_set1_epi8(1));
        squares32[kSlot] = dot(squares32[kSlot], bytes);
        high = _mm512_max_epu8(high, bytes);
        low = _mm512_mask_min_epu8(low, keep, low, bytes);
    }
    // `lanes` plus the bytes times `weights`, four to a lane. Written out, because the loops
    // around it are compiled for AVX-512 without VNNI, into which the intrinsic cannot be
    // inlined; only the path chosen for processors with VNNI comes here.
    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE static __m512i dot(__m512i lanes, __m512i bytes,
                                                                   __m512i weights) {
        __asm__("vpdpbusd %2, %1, %0" : "+v"(lanes) : "v"(bytes), "v"(weights));
        return lanes;
    }
    // `lanes` plus v * (v - 128) for each byte v, four to a lane.
    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE static __m512i dot(__m512i lanes, __m512i bytes) {
        return dot(lanes, bytes, _mm512_xor_si512(bytes, _mm512_set1_epi8(-128)));
    }
    PELMINT_TARGET_AVX512 void flush() {
        for (int slot = 0; slot < kSlots; ++slot) {
            // The squares' lanes are signed, the sums' are not.
            const __m512i squares = squares32[slot];
            squares64 = _mm512_add_epi64(
                squares64, _mm512_add_epi64(_mm512_srai_epi64(_mm512_slli_epi64(squares, 32), 32),
                                            _mm512_srai_epi64(squares, 32)));
            const __m512i even = _mm512_and_si512(sums32[slot], _mm512_set1_epi64(0xFFFFFFFF));
            sums =
                _mm512_add_epi64(sums, _mm512_add_epi64(even, _mm512_srli_epi64(sums32[slot], 32)));
            squares32[slot] = _mm512_setzero_si512();
            sums32[slot] = _mm512_setzero_si512();
        }
    }
    PELMINT_TARGET_AVX512 void absorb(const Avx512DotLanes& other) {
        for (int slot = 0; slot < kSlots; ++slot) {
            sums32[slot] = _mm512_add_epi32(sums32[slot], other.sums32[slot]);
            squares32[slot] = _mm512_add_epi32(squares32[slot], other.squares32[slot]);
        }
        sums = _mm512_add_epi64(sums, other.sums);
        squares64 = _mm512_add_epi64(squares64, other.squares64);
        high = _mm512_max_epu8(high, other.high);
        low = _mm512_min_epu8(low, other.low);
    }
    PELMINT_TARGET_AVX512 void finish(DiscTotals& totals) {
        flush();
        using Lanes = Avx512Lanes<Totals::Statistics>;
        const uint64_t sum = Lanes::fold<Fold::Add64>(sums);
        totals.sum += sum;
        // The sum of v * (v - 128) may be negative; modulo 2^64 the total is right.
        totals.squares += Lanes::fold<Fold::Add64>(squares64) + 128 * sum;
        const __m128i high8 =
            _mm_cvtsi64_si128(static_cast<int64_t>(Lanes::fold<Fold::Max8>(high)));
        const __m128i low8 = _mm_cvtsi64_si128(static_cast<int64_t>(Lanes::fold<Fold::Min8>(low)));
        totals.max = std::max<uint8_t>(totals.max, largestByte(high8));
        totals.min = std::min<uint8_t>(totals.min, smallestByte(_mm_unpacklo_epi64(low8, low8)));
    }

    __m512i sums{};
    __m512i sums32[kSlots]{};
    __m512i squares32[kSlots]{};
    __m512i squares64{};
    __m512i high{};
    __m512i low{};
};
#endif

#ifdef PELMINT_HAVE_AVX512
// Half widths of the discs up to kWindowRadius: halves[radius * (radius + 1) / 2 + dy] is
// floor(sqrt(radius^2 - dy^2)).
struct HalfWidthTable {
    uint8_t halves[(kWindowRadius + 1) * (kWindowRadius + 2) / 2];
};

constexpr HalfWidthTable makeHalfWidthTable() {
    HalfWidthTable table{};
    int at = 0;
    for (int radius = 0; radius <= kWindowRadius; ++radius) {
        int half = radius;
        for (int dy = 0; dy <= radius; ++dy) {
            while (half * half + dy * dy > radius * radius) {
                --half;
            }
            table.halves[at++] = static_cast<uint8_t>(half);
        }
    }
    return table;
}

constexpr HalfWidthTable kHalfWidthTable = makeHalfWidthTable();

// The bytes' places in a window.
alignas(64) constexpr uint8_t kPlaces[64] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
    22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
    44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};

// How far each column of the 64-byte window from column `start` lies from the centre's column,
// saturated: any beyond 127 is beyond every half width. Columns outside the image are put at 255
// when asked for, so that no half width reaches them.
template <bool kMarkOutside>
PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE __m512i columnDistances(int64_t start, int64_t centreX,
                                                                    int64_t width) {
    const __m512i places = _mm512_load_si512(kPlaces);
    const int64_t centre = centreX - start;
    const __m512i ahead = _mm512_set1_epi8(static_cast<char>(std::clamp<int64_t>(centre, 0, 191)));
    const __m512i behind =
        _mm512_set1_epi8(static_cast<char>(std::clamp<int64_t>(-centre, 0, 128)));
    const __m512i distance = _mm512_adds_epu8(
        _mm512_or_si512(_mm512_subs_epu8(places, ahead), _mm512_subs_epu8(ahead, places)), behind);
    if constexpr (kMarkOutside) {
        const auto from = static_cast<unsigned>(std::clamp<int64_t>(-start, 0, 63));
        const auto to = static_cast<unsigned>(std::clamp<int64_t>(width - start, 0, 64));
        const uint64_t inside = _bzhi_u64(~uint64_t{0}, to) & (~uint64_t{0} << from);
        return _mm512_mask_mov_epi8(_mm512_set1_epi8(-1), inside, distance);
    }
    return distance;
}

// The row masks of the discs up to kSmallAvx512Radius over a 64-byte window from the bounding
// square's left edge: rows[radius * radius + radius + dy] keeps the columns within the half width
// of row dy, for dy in [-radius, radius]; halves[radius * radius + radius + dy] is the half width
// of row dy, by row so that a walk needs no |dy|; before[radius * (radius + 1) + i] counts the
// pixels of the disc's first i rows; past[radius * radius + radius + a], for a in [-radius,
// radius), counts the pixels of the whole disc past an edge a columns from the centre's.
struct SmallDiscTable64 {
    uint64_t rows[(kSmallAvx512Radius + 1) * (kSmallAvx512Radius + 1)];
    uint8_t halves[(kSmallAvx512Radius + 1) * (kSmallAvx512Radius + 1)];
    int32_t before[(kSmallAvx512Radius + 1) * (kSmallAvx512Radius + 2)];
    uint16_t past[(kSmallAvx512Radius + 1) * (kSmallAvx512Radius + 1)];
};

constexpr SmallDiscTable64 makeSmallDiscTable64() {
    SmallDiscTable64 table{};
    for (int radius = 0; radius <= kSmallAvx512Radius; ++radius) {
        for (int dy = -radius; dy <= radius; ++dy) {
            const int half =
                kHalfWidthTable.halves[radius * (radius + 1) / 2 + (dy < 0 ? -dy : dy)];
            uint64_t keep = 0;
            for (int column = radius - half; column <= radius + half; ++column) {
                keep |= uint64_t{1} << column;
            }
            table.rows[radius * radius + radius + dy] = keep;
            table.halves[radius * radius + radius + dy] = static_cast<uint8_t>(half);
            const int row = radius + dy;
            table.before[radius * (radius + 1) + row + 1] =
                table.before[radius * (radius + 1) + row] + 2 * half + 1;
            for (int a = -radius; a < radius; ++a) {
                table.past[radius * radius + radius + a] +=
                    static_cast<uint16_t>(std::clamp(half - a, 0, 2 * half + 1));
            }
        }
    }
    return table;
}

constexpr SmallDiscTable64 kSmallDiscTable64 = makeSmallDiscTable64();

// Whether the small-disc walk takes this disc: its windows stay inside the image when the rows
// are at least a window apart.
bool takesSmallDisc(const Disc& disc, int64_t size) {
    return disc.radius <= kSmallAvx512Radius && disc.stride >= 64 && size >= 64;
}

// The masks of a small disc's rows, from the first row inside the image on. A disc cut at the
// left or right compares its columns' distances from the centre with each row's half width.
template <bool kColumnsInside> struct SmallDiscRows {
    const uint64_t* masks;
    const uint8_t* halves;
    __m512i distances;

    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE __mmask64 keep(int64_t i) const {
        if constexpr (kColumnsInside) {
            return masks[i];
        } else {
            return _mm512_cmple_epu8_mask(distances,
                                          _mm512_set1_epi8(static_cast<char>(halves[i])));
        }
    }
};

// The pixels inside the image of the rows [from, to) of a disc up to kSmallAvx512Radius, from the
// table rather than row by row. Row dy, of half width h, loses clamp(h - a, 0, 2h + 1) pixels past
// an edge a columns from the centre's. Over the rows, that is h - a on each row with h > a, less
// -a - 1 - h on each row with h < -a (wholly past an edge that the centre lies beyond). Rows with
// h at least some k are the band |dy| <= (the half width at dy = k) of the same disc.
class SmallDiscCount {
public:
    PELMINT_ALWAYS_INLINE SmallDiscCount(int64_t radius, int64_t from, int64_t to)
        : radius_(radius), from_(from), to_(to),
          before_(kSmallDiscTable64.before + radius * (radius + 1)),
          halves_(kHalfWidthTable.halves + radius * (radius + 1) / 2) {}

    // The pixels of the rows, less those past the edges a columns left and b columns right of
    // the centre's.
    PELMINT_ALWAYS_INLINE int64_t inside(int64_t a, int64_t b) const {
        return before_[to_] - before_[from_] - lost(a) - lost(b);
    }
    // The same with the edge on one side only.
    PELMINT_ALWAYS_INLINE int64_t inside(int64_t a) const {
        return before_[to_] - before_[from_] - lost(a);
    }

private:
    struct Rows {
        int64_t count = 0;
        int64_t halves = 0;
    };

    // The rows with |dy| <= reach; table row i is dy = i - radius.
    PELMINT_ALWAYS_INLINE Rows band(int64_t reach) const {
        const int64_t first = std::max(from_, radius_ - reach);
        const int64_t last = std::min(to_, radius_ + reach + 1);
        Rows rows;
        if (first < last) {
            rows.count = last - first;
            rows.halves = (before_[last] - before_[first] - rows.count) / 2;
        }
        return rows;
    }

    PELMINT_ALWAYS_INLINE int64_t lost(int64_t a) const {
        if (a >= radius_) {
            return 0;
        }
        const Rows over = band(a < 0 ? radius_ : halves_[a + 1]);
        int64_t pixels = over.halves - a * over.count;
        if (a < 0) {
            // A circle that covers some pixel has a >= -radius.
            const Rows all = band(radius_), reaching = band(halves_[-a]);
            pixels -= (-a - 1) * (all.count - reaching.count) - (all.halves - reaching.halves);
        }
        return pixels;
    }

    int64_t radius_;
    int64_t from_;
    int64_t to_;
    const int32_t* before_;
    const uint8_t* halves_;
};

inline int64_t smallDiscCount(const Disc& disc, int64_t from, int64_t to) {
    return SmallDiscCount(disc.radius, from, to)
        .inside(disc.centreX, disc.width - 1 - disc.centreX);
}

// The statistics of a small disc anywhere on an image of at least 64 bytes whose rows are at
// least as far apart (the average has a call of its own: smallDiscAverage). One masked 64-byte
// load per row. The window starts at the disc's leftmost column inside the image; on the image's
// last row it moves back so as not to reach past the image's last byte. A disc whose columns are
// all inside takes its masks and its count from the table; one cut at the left or right takes each
// row's mask from one compare of its columns' distances from the centre with the row's half width.
template <class Lanes, bool kColumnsInside>
PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE DiscTotals smallDiscTotals(const Disc& disc,
                                                                       int64_t size) {
    const int64_t radius = disc.radius, centreX = disc.centreX, centreY = disc.centreY;
    const int64_t firstRow = std::max<int64_t>(centreY - radius, 0);
    const int64_t lastRow = std::min<int64_t>(centreY + radius, disc.height - 1);
    const int64_t start = std::max<int64_t>(centreX - radius, 0);
    const int64_t skippedRows = firstRow - (centreY - radius);
    const uint64_t* masks = kSmallDiscTable64.rows + radius * radius + skippedRows;
    const uint8_t* halves = kSmallDiscTable64.halves + radius * radius + skippedRows;
    __m512i distances{};
    if constexpr (!kColumnsInside) {
        distances = columnDistances<true>(start, centreX, disc.width);
    }
    const SmallDiscRows<kColumnsInside> rowsOf{masks, halves, distances};
    const uint8_t* row = disc.pixels + firstRow * disc.stride + start;
    // The last row is taken apart when its window would end past the image.
    const int64_t windowEnd = lastRow * disc.stride + start + 64;
    const int64_t rows = lastRow - firstRow + 1;
    const int64_t windowed = rows - (windowEnd > size);
    Lanes lanes;
    // Rows in turn into the two slots.
    int64_t i = 0;
    for (; i + 1 < windowed; i += 2, row += 2 * disc.stride) {
        lanes.template masked<0>(row, rowsOf.keep(i));
        lanes.template masked<1>(row + disc.stride, rowsOf.keep(i + 1));
    }
    if (i < windowed) {
        lanes.masked(row, rowsOf.keep(i));
        row += disc.stride;
    }
    if (windowEnd > size) {
        // The columns that the moved window reaches before `start` are not the disc's; those
        // shifted off its end are past the image.
        const int64_t back = windowEnd - size;
        lanes.masked(row - back, rowsOf.keep(windowed) << back);
    }
    DiscTotals totals;
    if constexpr (kColumnsInside) {
        const int32_t* before = kSmallDiscTable64.before + radius * (radius + 1) + skippedRows;
        totals.count = before[rows] - before[0];
    } else {
        totals.count = smallDiscCount(disc, skippedRows, skippedRows + rows);
    }
    lanes.finish(totals);
    return totals;
}

template <class Lanes>
PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE DiscTotals smallDiscTotals(const Disc& disc,
                                                                       int64_t size) {
    if (disc.centreX - disc.radius >= 0 && disc.centreX + disc.radius < disc.width) {
        return smallDiscTotals<Lanes, true>(disc, size);
    }
    return smallDiscTotals<Lanes, false>(disc, size);
}

PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE __m512i windowSum(const uint8_t* p, __mmask64 keep) {
    return _mm512_sad_epu8(_mm512_maskz_loadu_epi8(keep, p), _mm512_setzero_si512());
}

// The masks of a small disc's rows from the table, over the window from the bounding square's
// left edge, less the columns outside the image when it is cut.
template <bool kCut> struct SmallDiscMasks {
    const uint64_t* rows;
    uint64_t inside;

    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE __mmask64 keep(int64_t i) const {
        return kCut ? rows[i] & inside : rows[i];
    }
};

// The sums of a small disc's rows on an image of packed rows, the first row's window `offset`
// bytes from the first pixel. A first window that starts before the image moves forward by
// `front` bytes, a last one that ends past it back by `back`: no load reaches outside the image,
// even where the mask would keep it from reading. Two rows are added together before the running
// sum, which so waits once a pair.
template <bool kCut>
PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE __m512i
smallDiscRowSums(const uint8_t* pixels, int64_t offset, int64_t width, int64_t rows, int64_t front,
                 int64_t back, const SmallDiscMasks<kCut>& masks) {
    const uint8_t* row = pixels + (offset + front);
    __m512i sums = _mm512_setzero_si512();
    int64_t i = 0;
    if (front > 0) {
        sums = windowSum(row, masks.keep(0) >> front);
        row += width - front;
        i = 1;
    }
    const int64_t windowed = rows - (back > 0);
    for (; i + 1 < windowed; i += 2, row += 2 * width) {
        sums = _mm512_add_epi64(sums, _mm512_add_epi64(windowSum(row, masks.keep(i)),
                                                       windowSum(row + width, masks.keep(i + 1))));
    }
    if (i < windowed) {
        sums = _mm512_add_epi64(sums, windowSum(row, masks.keep(i)));
        row += width;
    }
    if (i < rows && back > 0) {
        sums = _mm512_add_epi64(sums, windowSum(row - back, masks.keep(rows - 1) << back));
    }
    return sums;
}

// The average of a small disc, the whole call in one function that keeps to the registers: for
// these discs the call costs more than the pixels. Each row takes one masked load of the 64 bytes
// from the bounding square's left edge, its mask from the table. The count comes from the table
// too: the disc's pixels, less those past the edge that cuts it (from its band sums when the top
// or bottom cuts it as well).
PELMINT_TARGET_AVX512 double smallDiscAverage(const uint8_t* pixels, int64_t width, int64_t height,
                                              int64_t centreX, int64_t centreY, int64_t radius) {
    const int64_t top = centreY - radius, square = centreX - radius;
    const int64_t firstRow = std::max<int64_t>(top, 0);
    const int64_t lastRow = std::min<int64_t>(centreY + radius, height - 1);
    const int64_t skippedRows = firstRow - top;
    const int64_t rows = lastRow - firstRow + 1;
    const int64_t at = radius * radius + skippedRows;
    // The window's columns before the image's are the previous row's, or before the image on
    // its first row; those after it are the next row's, or past the image on its last.
    const int64_t before = std::max<int64_t>(-square, 0);
    const int64_t after = std::max<int64_t>(square + 64 - width, 0);
    const int64_t back = lastRow == height - 1 ? after : 0;
    const uint64_t* rowMasks = kSmallDiscTable64.rows + at;
    // Negative when the image cuts the first row's window.
    const int64_t first = firstRow * width + square;
    // The disc is narrower than the image: one side at most is cut, the nearer.
    const int64_t edge = std::min(centreX, width - 1 - centreX);
    __m512i sums;
    int64_t count;
    if (edge >= radius) {
        // Its window starts inside its row.
        sums = smallDiscRowSums(pixels, first, width, rows, 0, back,
                                SmallDiscMasks<false>{rowMasks, 0});
        const int32_t* counted = kSmallDiscTable64.before + radius * (radius + 1) + skippedRows;
        count = counted[rows] - counted[0];
    } else {
        const uint64_t inside =
            _bzhi_u64(~uint64_t{0}, static_cast<unsigned>(64 - after)) & (~uint64_t{0} << before);
        sums = smallDiscRowSums(pixels, first, width, rows, firstRow == 0 ? before : 0, back,
                                SmallDiscMasks<true>{rowMasks, inside});
        if (rows == 2 * radius + 1) {
            count = kSmallDiscTable64.before[radius * (radius + 1) + rows] -
                    kSmallDiscTable64.past[radius * radius + radius + edge];
        } else {
            count = SmallDiscCount(radius, skippedRows, skippedRows + rows).inside(edge);
        }
        // The bounding square may meet the image where the disc does not.
        if (count == 0) {
            return -1.0;
        }
    }
    const __m256i quarter = _mm256_add_epi64(_mm512_castsi512_si256(sums),
                                             _mm512_maskz_extracti64x4_epi64(0xFF, sums, 1));
    const __m128i eighth =
        _mm_add_epi64(_mm256_castsi256_si128(quarter), _mm256_extracti128_si256(quarter, 1));
    const int64_t sum =
        _mm_cvtsi128_si64(_mm_add_epi64(eighth, _mm_unpackhi_epi64(eighth, eighth)));
    return static_cast<double>(sum) / static_cast<double>(count);
}

// Discs up to kWindowRadius on images whose rows are a whole number of 64-byte lines apart, with
// masked loads. Each row takes the same kWindows windows that cover the disc's columns inside the
// image, aligned to the cache lines so that no load is split across two (unless that takes fewer
// windows: see windowTotals). Each window knows how far each of its columns lies from the centre's,
// so a row's masks are one compare each with its half width: no branch depends on the row and a
// small disc costs little more than its pixels. Columns outside the image lie too far to count.
// Every window holds some pixel of its row, so its page is there for the masked-off bytes too.
// The rows outside the image are left out by walking stretches of row pairs and of single rows.
template <class Lanes, int kWindows, bool kCutSideways> class WindowSummer {
public:
    // A disc this small never fills the squares' 32-bit lanes.
    static_assert((2 * kWindowRadius + 1) * 5 <= kBlocksPerFlush);

    // The first window starts `columnInLine` bytes before the centre column (or after it, when
    // negative).
    PELMINT_TARGET_AVX512 WindowSummer(const Disc& disc, int64_t columnInLine)
        : pixels_(reinterpret_cast<uintptr_t>(disc.pixels)), stride_(disc.stride),
          width_(disc.width), height_(disc.height), centreX_(disc.centreX), centreY_(disc.centreY),
          radius_(disc.radius), firstColumn_(disc.centreX - columnInLine),
          halves_(kHalfWidthTable.halves + disc.radius * (disc.radius + 1) / 2) {
        for (int window = 0; window < kWindows; ++window) {
            distances_[window] =
                columnDistances<kCutSideways>(firstColumn_ + 64 * window, centreX_, width_);
        }
    }

    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE DiscTotals sum() const {
        // The rows at dy above the centre are inside the image for dy in [upperFrom, upperTo],
        // those below for dy in [lowerFrom, lowerTo]; the centre row on its own.
        const int64_t upperFrom = std::max<int64_t>(1, centreY_ - height_ + 1);
        const int64_t upperTo = std::min<int64_t>(radius_, centreY_);
        const int64_t lowerFrom = std::max<int64_t>(1, -centreY_);
        const int64_t lowerTo = std::min<int64_t>(radius_, height_ - 1 - centreY_);
        const int64_t bothFrom = std::max(upperFrom, lowerFrom);
        const int64_t bothTo = std::min(upperTo, lowerTo);
        // Local, so that they stay in registers: the loads in between could touch any memory.
        Lanes upper, lower;
        int64_t count = 0;
        if (bothFrom <= bothTo) {
            count += 2 * pairs(upper, lower, bothFrom, bothTo);
            count += singles(upper, -stride_, upperFrom, bothFrom - 1);
            count += singles(upper, -stride_, bothTo + 1, upperTo);
            count += singles(lower, stride_, lowerFrom, bothFrom - 1);
            count += singles(lower, stride_, bothTo + 1, lowerTo);
        } else {
            count += singles(upper, -stride_, upperFrom, upperTo);
            count += singles(lower, stride_, lowerFrom, lowerTo);
        }
        if (centreY_ >= 0 && centreY_ < height_) {
            count += singles(upper, 0, 0, 0);
        }
        DiscTotals totals;
        totals.count = count;
        upper.absorb(lower);
        upper.finish(totals);
        return totals;
    }

private:
    struct Row {
        int64_t length;
        __mmask64 keep[kWindows];
    };

    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE Row row(int64_t dy) const {
        const int64_t half = halves_[dy];
        const __m512i reach = _mm512_set1_epi8(static_cast<char>(half));
        Row row;
        PELMINT_UNROLL
        for (int window = 0; window < kWindows; ++window) {
            row.keep[window] = _mm512_cmple_epu8_mask(distances_[window], reach);
        }
        if constexpr (kCutSideways) {
            row.length = 0;
            PELMINT_UNROLL
            for (int window = 0; window < kWindows; ++window) {
                row.length += static_cast<int64_t>(_mm_popcnt_u64(row.keep[window]));
            }
        } else {
            row.length = 2 * half + 1;
        }
        return row;
    }

    // `start` is the address of the row's first window.
    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE void addRow(Lanes& lanes, uintptr_t start,
                                                            const Row& row) const {
        // Each window in its own slot, turn about.
        [&]<int... kWindow>(std::integer_sequence<int, kWindow...>) {
            (lanes.template masked<kWindow % 2>(
                 reinterpret_cast<const uint8_t*>(start + 64 * kWindow), row.keep[kWindow]),
             ...);
        }
        (std::make_integer_sequence<int, kWindows>{});
    }

    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE uintptr_t startOf(int64_t rowIndex) const {
        return pixels_ + static_cast<uintptr_t>(rowIndex * stride_ + firstColumn_);
    }

    // Discs of more than this many pairs of rows are walked inwards on every other call, in each
    // thread. Their lines may outnumber the ways of the cache sets that rows a whole number of
    // lines apart share; walked the other way, a disc measured again (one circle's average then its
    // statistics, or a benchmark) starts from the lines that the last walk left in the cache,
    // instead of from those it has just pushed out.
    static constexpr int64_t kPairsBeforeTurning = 32;

    static bool walkInward() {
        static thread_local bool inward = false;
        inward = !inward;
        return inward;
    }

    // The rows centreY - dy and centreY + dy for dy in [from, to]; returns one row's pixels. A
    // window holds pixels of the rows up to some distance from the centre, the farther the
    // nearer it lies to the centre's column; the rows are walked in stretches over which the same
    // windows hold pixels, each stretch with those windows only.
    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE int64_t pairs(Lanes& upperLanes, Lanes& lowerLanes,
                                                              int64_t from, int64_t to) const {
        const bool inward = to - from >= kPairsBeforeTurning && walkInward();
        const int64_t step = inward ? -1 : 1;
        if constexpr (kWindows == 1) {
            return stretch<1>(upperLanes, lowerLanes, 1, 0, inward ? to : from, step,
                              to - from + 1);
        }
        // The rows reach window w up to dy = reaches[w]: those whose half width is at least the
        // window's distance from the centre's column, k, are |dy| <= the half width at dy = k.
        int64_t reaches[kWindows];
        for (int window = 0; window < kWindows; ++window) {
            const int64_t start = firstColumn_ + 64 * window;
            const int64_t distance =
                std::max<int64_t>({start - centreX_, centreX_ - (start + 63), 0});
            reaches[window] = distance <= radius_ ? halves_[distance] : -1;
        }
        int64_t count = 0;
        for (int64_t dy = inward ? to : from; dy >= from && dy <= to;) {
            // The windows that row dy reaches, [first, last), and where the stretch ends.
            int first = kWindows, last = 0;
            int64_t end = inward ? from : to;
            for (int window = 0; window < kWindows; ++window) {
                if (reaches[window] >= dy) {
                    first = std::min(first, window);
                    last = window + 1;
                    if (!inward) {
                        end = std::min(end, reaches[window]);
                    }
                } else if (inward) {
                    end = std::max(end, reaches[window] + 1);
                }
            }
            const int64_t rows = (end - dy) * step + 1;
            if (first < last) {
                count +=
                    stretch<kWindows>(upperLanes, lowerLanes, last - first, first, dy, step, rows);
            }
            dy = end + step;
        }
        return count;
    }

    // `rows` pairs from dy on, `step` apart, with the `windows` windows from `first`.
    template <int kActive>
    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE int64_t stretch(Lanes& upperLanes,
                                                                Lanes& lowerLanes, int windows,
                                                                int first, int64_t dy, int64_t step,
                                                                int64_t rows) const {
        if constexpr (kActive > 1) {
            if (windows < kActive) {
                return stretch<kActive - 1>(upperLanes, lowerLanes, windows, first, dy, step, rows);
            }
        }
        __m512i distances[kActive];
        PELMINT_UNROLL
        for (int window = 0; window < kActive; ++window) {
            distances[window] = distances_[first + window];
        }
        const auto outwards = static_cast<uintptr_t>(step * stride_);
        const auto offset = static_cast<uintptr_t>(64 * first);
        uintptr_t upper = startOf(centreY_ - dy) + offset;
        uintptr_t lower = startOf(centreY_ + dy) + offset;
        int64_t count = 0;
        for (; rows > 0; --rows, dy += step) {
            const int64_t half = halves_[dy];
            const __m512i reach = _mm512_set1_epi8(static_cast<char>(half));
            __mmask64 keep[kActive];
            PELMINT_UNROLL
            for (int window = 0; window < kActive; ++window) {
                keep[window] = _mm512_cmple_epu8_mask(distances[window], reach);
            }
            [&]<int... kWindow>(std::integer_sequence<int, kWindow...>) {
                (upperLanes.template masked<kWindow % 2>(
                     reinterpret_cast<const uint8_t*>(upper + 64 * kWindow), keep[kWindow]),
                 ...);
                (lowerLanes.template masked<kWindow % 2>(
                     reinterpret_cast<const uint8_t*>(lower + 64 * kWindow), keep[kWindow]),
                 ...);
            }
            (std::make_integer_sequence<int, kActive>{});
            if constexpr (kCutSideways) {
                PELMINT_UNROLL
                for (int window = 0; window < kActive; ++window) {
                    count += static_cast<int64_t>(_mm_popcnt_u64(keep[window]));
                }
            } else {
                count += 2 * half + 1;
            }
            upper -= outwards;
            lower += outwards;
        }
        return count;
    }

    // The rows centreY + dy * step / stride for dy in [from, to].
    PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE int64_t singles(Lanes& lanes, int64_t step,
                                                                int64_t from, int64_t to) const {
        int64_t count = 0;
        uintptr_t start = startOf(centreY_) + static_cast<uintptr_t>(from * step);
        for (int64_t dy = from; dy <= to; ++dy) {
            const Row single = row(dy);
            addRow(lanes, start, single);
            count += single.length;
            start += static_cast<uintptr_t>(step);
        }
        return count;
    }

    uintptr_t pixels_;
    int64_t stride_;
    int64_t width_;
    int64_t height_;
    int64_t centreX_;
    int64_t centreY_;
    int64_t radius_;
    int64_t firstColumn_;
    const uint8_t* halves_;
    __m512i distances_[kWindows];
};

// A function of its own for each window count, so that each loop gets the registers to itself;
// the disc comes in registers rather than through memory.
template <class Lanes, int kWindows, bool kCutSideways>
PELMINT_TARGET_AVX512 PELMINT_FLATTEN __attribute__((noinline)) DiscTotals
windowSums(const uint8_t* pixels, int64_t stride, int64_t width, int64_t height, int64_t centreX,
           int64_t centreY, int64_t radius, int64_t columnInLine) {
    const Disc disc{pixels, width, height, stride, centreX, centreY, radius};
    return WindowSummer<Lanes, kWindows, kCutSideways>(disc, columnInLine).sum();
}

template <class Lanes, int kWindows>
PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE DiscTotals windowsOf(const Disc& disc,
                                                                 int64_t columnInLine) {
    const bool cut = disc.centreX - disc.radius < 0 || disc.centreX + disc.radius >= disc.width;
    return (cut ? windowSums<Lanes, kWindows, true>
                : windowSums<Lanes, kWindows, false>)(disc.pixels, disc.stride, disc.width,
                                                      disc.height, disc.centreX, disc.centreY,
                                                      disc.radius, columnInLine);
}

// Whether the window walk takes this disc.
bool takesWindows(const Disc& disc) {
    return disc.radius <= kWindowRadius && disc.stride % 64 == 0;
}

template <class Lanes>
PELMINT_TARGET_AVX512 PELMINT_ALWAYS_INLINE DiscTotals windowTotals(const Disc& disc) {
    // The columns of the disc inside the image; every row's first one falls at the same place in
    // its cache line. The windows start at that line.
    const int64_t left = std::max<int64_t>(disc.centreX - disc.radius, 0);
    const int64_t right = std::min<int64_t>(disc.centreX + disc.radius, disc.width - 1);
    const int64_t skipped =
        static_cast<int64_t>((reinterpret_cast<uintptr_t>(disc.pixels) + left) & 63);
    int64_t windows = (skipped + right - left) / 64 + 1;
    int64_t firstColumn = left - skipped;
    // Windows that are not aligned lie across two lines each. One of them still costs less than
    // two aligned ones; more of them cost less than one aligned window more only for the
    // statistics, whose blocks take more work than their loads (measured). They start at the
    // first column, or early enough to end with the row.
    const int64_t fewest = (right - left) / 64 + 1;
    if (windows > fewest && (fewest == 1 || Lanes::kFewestWindows) && disc.width >= 64 * fewest) {
        windows = fewest;
        firstColumn = std::min<int64_t>(left, disc.width - 64 * fewest);
    }
    const int64_t columnInLine = disc.centreX - firstColumn;
    switch (windows - 1) {
    case 0:
        return windowsOf<Lanes, 1>(disc, columnInLine);
    case 1:
        return windowsOf<Lanes, 2>(disc, columnInLine);
    case 2:
        return windowsOf<Lanes, 3>(disc, columnInLine);
    case 3:
        return windowsOf<Lanes, 4>(disc, columnInLine);
    default:
        return windowsOf<Lanes, 5>(disc, columnInLine);
    }
}
#endif

// The entry point of each width, compiled for its instruction set.
PELMINT_ALWAYS_INLINE DiscSum asSum(const DiscTotals& totals) {
    return DiscSum{totals.count, totals.sum};
}

PELMINT_FLATTEN DiscSum sumScalar(const Disc& disc, int64_t size) {
    return asSum(rowTotals<ScalarLanes<Totals::Sum>>(disc, size));
}
PELMINT_FLATTEN DiscTotals statisticsScalar(const Disc& disc, int64_t size) {
    return rowTotals<ScalarLanes<Totals::Statistics>>(disc, size);
}
#ifdef PELMINT_HAVE_SSE2
PELMINT_FLATTEN DiscSum sumSse2(const Disc& disc, int64_t size) {
    return asSum(rowTotals<Sse2Lanes<Totals::Sum>>(disc, size));
}
PELMINT_FLATTEN DiscTotals statisticsSse2(const Disc& disc, int64_t size) {
    return rowTotals<Sse2Lanes<Totals::Statistics>>(disc, size);
}
#endif
#ifdef PELMINT_HAVE_AVX2
PELMINT_TARGET_AVX2 PELMINT_FLATTEN DiscSum sumAvx2(const Disc& disc, int64_t size) {
    return asSum(rowTotals<Avx2Lanes<Totals::Sum>>(disc, size));
}
PELMINT_TARGET_AVX2 PELMINT_FLATTEN DiscTotals statisticsAvx2(const Disc& disc, int64_t size) {
    return rowTotals<Avx2Lanes<Totals::Statistics>>(disc, size);
}
#endif
#ifdef PELMINT_HAVE_AVX512
// The small discs' averages do not come here: see averageSmallDiscAvx512. The row walk is a
// function of its own, so that its code does not change with the window walk's.
PELMINT_TARGET_AVX512 PELMINT_FLATTEN __attribute__((noinline)) DiscSum
rowSumsAvx512(const Disc& disc, int64_t size) {
    return asSum(rowTotals<Avx512Lanes<Totals::Sum>>(disc, size));
}
PELMINT_TARGET_AVX512 PELMINT_FLATTEN DiscSum sumAvx512(const Disc& disc, int64_t size) {
    if (takesWindows(disc)) {
        return asSum(windowTotals<Avx512Lanes<Totals::Sum>>(disc));
    }
    return rowSumsAvx512(disc, size);
}
PELMINT_TARGET_AVX512 PELMINT_FLATTEN DiscTotals statisticsAvx512(const Disc& disc, int64_t size) {
    if (takesSmallDisc(disc, size)) {
        return smallDiscTotals<Avx512Lanes<Totals::Statistics>>(disc, size);
    }
    if (takesWindows(disc)) {
        return windowTotals<Avx512Lanes<Totals::Statistics>>(disc);
    }
    return rowTotals<Avx512Lanes<Totals::Statistics>>(disc, size);
}
PELMINT_TARGET_AVX512 PELMINT_FLATTEN DiscTotals statisticsAvx512Dot(const Disc& disc,
                                                                     int64_t size) {
    using Lanes = Avx512DotLanes;
    if (takesSmallDisc(disc, size)) {
        return smallDiscTotals<Lanes>(disc, size);
    }
    if (takesWindows(disc)) {
        return windowTotals<Lanes>(disc);
    }
    return rowTotals<Lanes>(disc, size);
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

namespace {

// One width's entry points for one kind of totals; null where this compiler cannot build it.
template <class Result> struct PathEntries {
    using Entry = Result (*)(const Disc&, int64_t);
    Entry avx512Dot, avx512, avx2, sse2, scalar;
};

// The entry point of `path`, or of the next narrower width that is built and that the image is
// large enough for.
template <class Result>
Result walk(const PathEntries<Result>& entries, SumPath path, const Disc& disc, int64_t size) {
    if (path == SumPath::Avx512Dot && entries.avx512Dot != nullptr) {
        return entries.avx512Dot(disc, size);
    }
    if (path >= SumPath::Avx512 && entries.avx512 != nullptr) {
        return entries.avx512(disc, size);
    }
    if (path >= SumPath::Avx2 && entries.avx2 != nullptr && size >= 32) {
        return entries.avx2(disc, size);
    }
    if (path >= SumPath::Sse2 && entries.sse2 != nullptr && size >= 16) {
        return entries.sse2(disc, size);
    }
    return entries.scalar(disc, size);
}

#ifdef PELMINT_HAVE_AVX512
#define PELMINT_AVX512_ENTRY(name) name
#else
#define PELMINT_AVX512_ENTRY(name) nullptr
#endif
#ifdef PELMINT_HAVE_AVX2
#define PELMINT_AVX2_ENTRY(name) name
#else
#define PELMINT_AVX2_ENTRY(name) nullptr
#endif
#ifdef PELMINT_HAVE_SSE2
#define PELMINT_SSE2_ENTRY(name) name
#else
#define PELMINT_SSE2_ENTRY(name) nullptr
#endif

// The sum needs no dot products: both AVX-512 paths take the same walk.
constexpr PathEntries<DiscSum> kSumEntries{
    PELMINT_AVX512_ENTRY(sumAvx512), PELMINT_AVX512_ENTRY(sumAvx512), PELMINT_AVX2_ENTRY(sumAvx2),
    PELMINT_SSE2_ENTRY(sumSse2), sumScalar};
constexpr PathEntries<DiscTotals> kStatisticsEntries{
    PELMINT_AVX512_ENTRY(statisticsAvx512Dot), PELMINT_AVX512_ENTRY(statisticsAvx512),
    PELMINT_AVX2_ENTRY(statisticsAvx2), PELMINT_SSE2_ENTRY(statisticsSse2), statisticsScalar};

#undef PELMINT_AVX512_ENTRY
#undef PELMINT_AVX2_ENTRY
#undef PELMINT_SSE2_ENTRY

} // namespace

#ifdef PELMINT_HAVE_AVX512
double averageSmallDiscAvx512(const uint8_t* pixels, int32_t width, int32_t height, int32_t centreX,
                              int32_t centreY, int32_t radius) {
    // In 64 bits: centre +/- radius may leave the 32-bit range.
    const int64_t x = centreX, y = centreY, r = radius;
    if (x - r >= width || x + r < 0 || y - r >= height || y + r < 0) {
        return -1.0;
    }
    return smallDiscAverage(pixels, width, height, x, y, r);
}
#endif

DiscSum sumDisc(SumPath path, const Disc& disc, int64_t size) {
    return walk(kSumEntries, path, disc, size);
}

DiscTotals totalDisc(SumPath path, const Disc& disc, int64_t size) {
    return walk(kStatisticsEntries, path, disc, size);
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
