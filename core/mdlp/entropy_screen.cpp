#include "mdlp/entropy_screen.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>

// Why screening is exact
// ----------------------
// For a cut with left counts l0, l1 and right counts r0, r1 (nL = l0 + l1,
// nR = r0 + r1, N = nL + nR) write f(k) = k log2 k, f(0) = 0. In real numbers
//     G = nL H(l0, l1) + nR H(r0, r1) = f(nL) + f(nR) - f(l0) - f(l1) - f(r0) - f(r1),
// so G / N is the weighted entropy w that the exact scan computes with
// divisions and two log2 per side. The screen computes G~, G in double with a
// short series for log2. Let u = 2^-53; every count lies in [0, N], N < 2^52.
//
// Exact scan, against G (std::log2 taken within 2 ulp, glibc's is within 1):
// p = fl(b / t) = (b / t)(1 + d), |d| <= u, moves log2 p by <= 1.45u; log2 adds
// <= 4u |log2 p|; the product adds 2u |p log2 p| and p |log2 p| <= 0.531. Both
// terms and their sum: |H~ - H| <= 9u. Then nL H~L + nR H~R, its two products,
// the sum and the division by n add 3u N:  |N w~ - G| <= 12u N.
//
// Screen, against G: z is the mantissa scaled into [sqrt(1/2), sqrt(2)), the
// exponent e is exact, s = (z - 1) / (z + 1) has |s| <= 0.1716, t = s^2 <= 0.02944
// and s is within 2u (z - 1 is exact). log2 z = (2 / ln 2) s P(t) with P the
// series of atanh(s) / s to t^4: the rest is below t^5 / (11 (1 - t)) < T = 2.1e-9
// relative. Horner on the rounded t, the rounded coefficients and the three
// products add <= 4.5u: the error of log2 z is <= (T + 7u) |log2 z| <= (T + 7u) / 2.
// Adding e rounds by u (log2 N + 0.5), the product by k as much:
// |f~(k) - f(k)| <= k (T / 2 + u (2 log2 N + 4.5)). The six counts sum to 2N, and
// the five sums round by u times partials of at most 2N (log2 N + 1):
// |G~ - G| <= N (T + u (14 log2 N + 19)).
//
// So |G~ - N w~| <= E = N (T + u (14 log2 N + 31)) for every cut. If i has the
// lowest w~ and j the lowest G~, then G~_i <= N w~_i + E <= N w~_j + E <= G~_j + 2E:
// the exact winner is among the cuts with G~ <= min G~ + 2E. The screen keeps
// those with G~ <= min G~ + 2B, B = N (2.5e-9 + u (32 log2 N + 64)), whose
// excess over E also covers the rounding of B and of the sum. The kept cuts are
// then evaluated exactly in ascending order, so the lowest index still wins a
// tie. Near the minimum G~ moves by about one bit per record, far above 2B, so
// few cuts are kept: one or two in most segments.
//
// Why whole blocks may be skipped
// -------------------------------
// l0 -> f(l0 + l1) - f(l0) - f(l1) is nL times the binary entropy of l0 / nL, the
// perspective of a concave function, so concave in (l0, l1); the right side is the
// same function of (s0 - l0, s1 - l1). G is therefore concave, and over a box its
// least value is at a corner. When the left counts of a block do not decrease
// from record to record, every cut of the block lies in the box between the
// counts of its first and last records, and G >= min over the corners of G >=
// min over the corners of G~ - E. A block whose corners all have G~ above
// low + 4B, low being the least G~ of an admissible cut met so far, holds only
// cuts with G~ > low + 2B, none of which can be kept or lower the minimum; its
// scores are not computed. A first look at one record per block finds a low
// value early, so that most blocks far from the minimum are skipped.

namespace tembrolin {
namespace {

// Below this many interior records the plain scan costs less than the screen.
constexpr std::uint64_t min_screened = 64;
// Records screened at a time: their counts and scores stay in the L1 cache.
constexpr std::size_t block_size = 256;
constexpr double infinity = std::numeric_limits<double>::infinity();

// Everything the blocks of one segment share.
struct Frame {
    std::uint64_t base0;  // counts of record L
    std::uint64_t base1;
    std::uint64_t seg0;  // class counts of the segment, each below 2^52
    std::uint64_t seg1;
    double s0;
    double s1;
    double total;
    double minobs;  // clamped to [-1, 2^53], which keeps every comparison with a count
};

struct Block {
    alignas(64) double l0[block_size];
    alignas(64) double l1[block_size];
    alignas(64) double score[block_size];
};

struct BlockScreen {
    bool in_range;  // every left count within the segment's
    double low;     // lowest score; infinite if no cut is admissible or the block is skipped
};

// Exact for 0 <= v < 2^52, by placing v in the mantissa of 2^52: AVX2 has no
// vector conversion from int64.
[[gnu::always_inline]] inline double small_to_double(std::uint64_t v) {
    return std::bit_cast<double>(v | 0x4330000000000000) - 0x1p52;
}

// log2 of an integer-valued k in [0, 2^52), within the bound above. For k = 0
// it returns 3073, finite, so that 0 * log2(0) is 0 without a branch.
[[gnu::always_inline]] inline double approx_log2(double k) {
    constexpr std::uint64_t sqrt_half_bits = 0x3fe6a09e667f3bcd;
    constexpr std::uint64_t exponent_field = 0xfff0000000000000;
    const auto bits = std::bit_cast<std::uint64_t>(k);
    const std::uint64_t shifted = bits - sqrt_half_bits;
    const double z = std::bit_cast<double>(bits - (shifted & exponent_field));
    const double e = small_to_double(shifted >> 52);
    const double s = (z - 1.0) / (z + 1.0);
    const double t = s * s;
    double p = 1.0 / 9.0;
    p = p * t + 1.0 / 7.0;
    p = p * t + 1.0 / 5.0;
    p = p * t + 1.0 / 3.0;
    p = p * t + 1.0;
    constexpr double two_over_ln2 = 2.8853900817779268;
    return e + (two_over_ln2 * s) * p;
}

[[gnu::always_inline]] inline double k_log2_k(double k) { return k * approx_log2(k); }

// Direction is the event-rate rule: 0 none, > 0 rising, < 0 falling.
// G~ of a cut, or of a corner of a block's box, from its left counts.
[[gnu::always_inline]] inline double approx_g(double l0, double l1, const Frame& frame) {
    const double r0 = frame.s0 - l0;
    const double r1 = frame.s1 - l1;
    const double nL = l0 + l1;
    const double nR = frame.total - nL;
    return k_log2_k(nL) + k_log2_k(nR) - k_log2_k(l0) - k_log2_k(l1) - k_log2_k(r0) - k_log2_k(r1);
}

// Whether the block's cuts may all be left unscored: its left counts never
// decrease, and every corner of their box has G~ above `skip_above`.
inline bool skippable(const Block& block, std::size_t count, const Frame& frame,
                      double skip_above) {
    if (!(skip_above < infinity)) return false;
    std::uint64_t decreasing = 0;
    for (std::size_t j = 1; j < count; ++j) {
        decreasing |= static_cast<std::uint64_t>(block.l0[j] < block.l0[j - 1]) |
                      static_cast<std::uint64_t>(block.l1[j] < block.l1[j - 1]);
    }
    if (decreasing != 0) return false;
    const double a0 = block.l0[0];
    const double a1 = block.l1[0];
    const double b0 = block.l0[count - 1];
    const double b1 = block.l1[count - 1];
    return approx_g(a0, a1, frame) > skip_above && approx_g(a0, b1, frame) > skip_above &&
           approx_g(b0, a1, frame) > skip_above && approx_g(b0, b1, frame) > skip_above;
}

template <int Direction>
[[gnu::always_inline]] inline BlockScreen screen_block(const CutPoint* records, std::size_t count,
                                                       const Frame& frame, double skip_above,
                                                       Block& block) {
    std::uint64_t out_of_range = 0;
    for (std::size_t j = 0; j < count; ++j) {
        const std::uint64_t a = static_cast<std::uint64_t>(records[j].c0) - frame.base0;
        const std::uint64_t b = static_cast<std::uint64_t>(records[j].c1) - frame.base1;
        out_of_range |=
            static_cast<std::uint64_t>(a > frame.seg0) | static_cast<std::uint64_t>(b > frame.seg1);
        block.l0[j] = small_to_double(a);
        block.l1[j] = small_to_double(b);
    }
    if (out_of_range != 0) return {false, infinity};
    if (skippable(block, count, frame, skip_above)) return {true, infinity};

    for (std::size_t j = 0; j < count; ++j) {
        const double l0 = block.l0[j];
        const double l1 = block.l1[j];
        const double r1 = frame.s1 - l1;
        const double nL = l0 + l1;
        const double nR = frame.total - nL;
        // `&` rather than `&&`: no branch in the loop. The same divisions of
        // the same exact values as the plain scan.
        bool admissible = (nL > frame.minobs) & (nR > frame.minobs);
        if constexpr (Direction > 0) admissible &= r1 / nR >= l1 / nL;
        if constexpr (Direction < 0) admissible &= l1 / nL >= r1 / nR;
        const double g = approx_g(l0, l1, frame);
        // G is never negative, so the clamp only brings G~ closer.
        const double score = admissible ? (g > 0.0 ? g : 0.0) : infinity;
        block.score[j] = score;
    }
    // Scores are +0.0 or above, so their bits order as they do; a minimum of
    // integers vectorises where a minimum of doubles would not. A loop of its
    // own, as the choice above would keep it from vectorising in that one.
    std::uint64_t low = std::bit_cast<std::uint64_t>(infinity);
    for (std::size_t j = 0; j < count; ++j) {
        low = std::min(low, std::bit_cast<std::uint64_t>(block.score[j]));
    }
    return {true, std::bit_cast<double>(low)};
}

using BlockScreener = BlockScreen (*)(const CutPoint*, std::size_t, const Frame&, double, Block&);

template <int Direction>
BlockScreen screen_block_baseline(const CutPoint* records, std::size_t count, const Frame& frame,
                                  double skip_above, Block& block) {
    return screen_block<Direction>(records, count, frame, skip_above, block);
}

#if defined(__x86_64__)
template <int Direction>
[[gnu::target("avx2")]] BlockScreen screen_block_avx2(const CutPoint* records, std::size_t count,
                                                      const Frame& frame, double skip_above,
                                                      Block& block) {
    return screen_block<Direction>(records, count, frame, skip_above, block);
}

template <int Direction>
[[gnu::target("avx512f,avx512dq,prefer-vector-width=512")]] BlockScreen screen_block_avx512(
    const CutPoint* records, std::size_t count, const Frame& frame, double skip_above,
    Block& block) {
    return screen_block<Direction>(records, count, frame, skip_above, block);
}
#endif

template <int Direction>
BlockScreener screener_at(ScanWidth width) {
#if defined(__x86_64__)
    if (width == ScanWidth::avx512) return screen_block_avx512<Direction>;
    if (width == ScanWidth::avx2) return screen_block_avx2<Direction>;
#endif
    (void)width;
    return screen_block_baseline<Direction>;
}

BlockScreener screener(const MdlpParams& params, ScanWidth width) {
    const bool rule = (params.monotonicity == MonotonicityMode::event_rate ||
                       params.monotonicity == MonotonicityMode::event_rate_too) &&
                      params.mono_dir != 0;
    if (!rule) return screener_at<0>(width);
    return params.mono_dir > 0 ? screener_at<1>(width) : screener_at<-1>(width);
}

// Keeps the candidates whose score is within the limit, in order.
void drop_above(std::vector<std::uint64_t>& candidates, std::vector<double>& scores, double limit) {
    std::size_t kept = 0;
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        if (scores[c] <= limit) {
            candidates[kept] = candidates[c];
            scores[kept] = scores[c];
            ++kept;
        }
    }
    candidates.resize(kept);
    scores.resize(kept);
}

}  // namespace

ScanWidth widest_scan_width() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")) {
        return ScanWidth::avx512;
    }
    if (__builtin_cpu_supports("avx2")) return ScanWidth::avx2;
#endif
    return ScanWidth::baseline;
}

bool screen_segment(const CutPointTable& table, const SegmentSpan& segment,
                    const MdlpParams& params, ScanWidth width,
                    std::vector<std::uint64_t>& candidates) {
    candidates.clear();
    const std::uint64_t L = segment.L;
    const std::uint64_t R = segment.R;
    if (L >= R || R >= table.size() || R - L - 1 < min_screened) return false;
    constexpr std::int64_t count_limit = std::int64_t{1} << 52;
    if (segment.seg_c0 < 0 || segment.seg_c1 < 0 || segment.seg_c0 >= count_limit ||
        segment.seg_c1 >= count_limit || segment.seg_c0 + segment.seg_c1 >= count_limit ||
        segment.seg_c0 + segment.seg_c1 < 2) {
        return false;
    }

    const auto seg0 = static_cast<std::uint64_t>(segment.seg_c0);
    const auto seg1 = static_cast<std::uint64_t>(segment.seg_c1);
    const Frame frame{
        static_cast<std::uint64_t>(segment.base_c0),
        static_cast<std::uint64_t>(segment.base_c1),
        seg0,
        seg1,
        small_to_double(seg0),
        small_to_double(seg1),
        small_to_double(seg0 + seg1),
        static_cast<double>(std::clamp(params.minobs, std::int64_t{-1}, std::int64_t{1} << 53)),
    };
    // 2B of the proof above.
    const double margin = frame.total * (5e-9 + (64.0 * std::log2(frame.total) + 128.0) * 0x1p-53);
    const BlockScreener screen = screener(params, width);

    Block block;
    std::vector<double> scores;  // of the candidates, to drop them when the minimum falls
    double low = infinity;
    const CutPoint* records = table.data();
    // The first look: the score of each block's first cut, by the same code.
    for (std::uint64_t start = L + 1; start < R; start += block_size) {
        const BlockScreen first = screen(records + start, 1, frame, infinity, block);
        if (first.in_range) low = std::min(low, first.low);
    }
    for (std::uint64_t start = L + 1; start < R; start += block_size) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(block_size, R - start));
        const BlockScreen result = screen(records + start, count, frame, low + 2.0 * margin, block);
        if (!result.in_range) {
            candidates.clear();
            return false;
        }
        if (result.low == infinity) continue;
        if (result.low < low) {
            low = result.low;
            drop_above(candidates, scores, low + margin);
        }
        const double limit = low + margin;
        if (result.low > limit) continue;
        for (std::size_t j = 0; j < count; ++j) {
            if (block.score[j] <= limit) {
                candidates.push_back(start + j);
                scores.push_back(block.score[j]);
            }
        }
    }
    return true;
}

}  // namespace tembrolin
