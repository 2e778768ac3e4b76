// Bit-plane genotypes, their 3×3 counts by popcount, and the
// maximum-likelihood r² (see README.md beside this file).
#include "ld/genotype_planes.h"

#include <algorithm>
#include <cmath>

namespace {

void appendEmpty(std::vector<uint64_t>& hi, std::vector<uint64_t>& lo, size_t words)
{
    hi.resize(hi.size() + words, 0);
    lo.resize(lo.size() + words, ~uint64_t(0)); // every bit missing until set
}

void setCode(uint64_t* hi, uint64_t* lo, size_t s, unsigned code)
{
    const uint64_t bit = uint64_t(1) << (s % 64);
    if (code & 2)
        hi[s / 64] |= bit;
    if (!(code & 1))
        lo[s / 64] &= ~bit;
}

// The even bits of x (bit 2i to bit i), by halving shifts.
uint64_t evenBits(uint64_t x)
{
    x &= 0x5555555555555555ull;
    x = (x | (x >> 1)) & 0x3333333333333333ull;
    x = (x | (x >> 2)) & 0x0F0F0F0F0F0F0F0Full;
    x = (x | (x >> 4)) & 0x00FF00FF00FF00FFull;
    x = (x | (x >> 8)) & 0x0000FFFF0000FFFFull;
    x = (x | (x >> 16)) & 0x00000000FFFFFFFFull;
    return x;
}

uint64_t littleEndian64(const uint8_t* b)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | b[i];
    return v;
}

inline uint64_t popcount(uint64_t v) { return static_cast<uint64_t>(__builtin_popcountll(v)); }

} // namespace

size_t GenotypePlanes::addPacked(const uint8_t* bytes, const std::vector<uint32_t>& chosen, bool allChosen)
{
    const size_t slot = variants();
    appendEmpty(hi_, lo_, words_);
    uint64_t* hi = hi_.data() + slot * words_;
    uint64_t* lo = lo_.data() + slot * words_;
    if (allChosen) {
        // 64 samples a word from 16 bytes: the codes' low bits (even bits)
        // are the lo plane, their high bits the hi plane; the samples past
        // the last are set missing.
        const size_t have = (samples_ + 3) / 4;
        uint8_t tail[16];
        for (size_t w = 0; w < words_; ++w) {
            const uint8_t* b = bytes + 16 * w;
            if (16 * w + 16 > have) {
                std::fill(tail, tail + 16, uint8_t(0));
                std::copy(b, bytes + have, tail);
                b = tail;
            }
            const uint64_t x = littleEndian64(b), y = littleEndian64(b + 8);
            hi[w] = evenBits(x >> 1) | (evenBits(y >> 1) << 32);
            lo[w] = evenBits(x) | (evenBits(y) << 32);
        }
        const size_t used = samples_ % 64;
        if (used != 0) {
            const uint64_t mask = (uint64_t(1) << used) - 1;
            hi[words_ - 1] &= mask;
            lo[words_ - 1] |= ~mask;
        }
    } else {
        for (size_t s = 0; s < chosen.size(); ++s) {
            const uint32_t f = chosen[s];
            setCode(hi, lo, s, (bytes[f / 4] >> (2 * (f % 4))) & 3u);
        }
    }
    return slot;
}

size_t GenotypePlanes::addCounts(const std::vector<int8_t>& counts)
{
    const size_t slot = variants();
    appendEmpty(hi_, lo_, words_);
    uint64_t* hi = hi_.data() + slot * words_;
    uint64_t* lo = lo_.data() + slot * words_;
    static constexpr unsigned kCode[3] = {0, 2, 3};
    for (size_t s = 0; s < samples_ && s < counts.size(); ++s)
        if (counts[s] >= 0 && counts[s] <= 2)
            setCode(hi, lo, s, kCode[counts[s]]);
    return slot;
}

PairCounts pairCounts(const GenotypePlanes& planes, size_t x, size_t y)
{
    const uint64_t *hx = planes.hi(x), *lx = planes.lo(x), *hy = planes.hi(y), *ly = planes.lo(y);
    uint64_t both = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0, c11 = 0, c12 = 0, c21 = 0, c22 = 0;
    for (size_t w = 0; w < planes.words(); ++w) {
        // Called: not (hi 0, lo 1). Het: hi & ~lo. Hom of allele 2: hi & lo.
        const uint64_t called = (hx[w] | ~lx[w]) & (hy[w] | ~ly[w]);
        const uint64_t hetX = hx[w] & ~lx[w] & called, homX = hx[w] & lx[w] & called;
        const uint64_t hetY = hy[w] & ~ly[w] & called, homY = hy[w] & ly[w] & called;
        both += popcount(called);
        x1 += popcount(hetX);
        x2 += popcount(homX);
        y1 += popcount(hetY);
        y2 += popcount(homY);
        c11 += popcount(hetX & hetY);
        c12 += popcount(hetX & homY);
        c21 += popcount(homX & hetY);
        c22 += popcount(homX & homY);
    }
    PairCounts c;
    c.counts[1][1] = c11;
    c.counts[1][2] = c12;
    c.counts[2][1] = c21;
    c.counts[2][2] = c22;
    c.counts[1][0] = x1 - c11 - c12;
    c.counts[2][0] = x2 - c21 - c22;
    c.counts[0][1] = y1 - c11 - c21;
    c.counts[0][2] = y2 - c12 - c22;
    c.counts[0][0] = both - x1 - x2 - c.counts[0][1] - c.counts[0][2];
    return c;
}

namespace {

double xlog(double n, double f) { return n > 0 ? n * std::log(f) : 0.0; }

// The cubic g(h) = 2h³ + b h² + c h + d has g(0) <= 0 <= g(k); its roots in
// [0, k], found by bisection on each stretch between its turning points.
std::vector<double> rootsIn(double b, double c, double d, double k)
{
    auto g = [&](double h) { return ((2 * h + b) * h + c) * h + d; };
    std::vector<double> cuts{0.0};
    const double disc = 4 * b * b - 24 * c; // of g' = 6h² + 2bh + c
    if (disc > 0) {
        const double s = std::sqrt(disc);
        for (double t : {(-2 * b - s) / 12, (-2 * b + s) / 12})
            if (t > 0 && t < k)
                cuts.push_back(t);
    }
    cuts.push_back(k);
    std::vector<double> roots;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        double lo = cuts[i], hi = cuts[i + 1];
        double glo = g(lo), ghi = g(hi);
        if (glo == 0) {
            roots.push_back(lo);
            continue;
        }
        if ((glo < 0) == (ghi < 0) && ghi != 0)
            continue;
        for (int step = 0; step < 100 && hi - lo > 1e-12 * (1 + k); ++step) {
            const double mid = 0.5 * (lo + hi), gm = g(mid);
            if ((gm < 0) == (glo < 0)) {
                lo = mid;
                glo = gm;
            } else {
                hi = mid;
            }
        }
        roots.push_back(0.5 * (lo + hi));
    }
    return roots;
}

} // namespace

double haplotypeR2(const PairCounts& pc)
{
    const auto& c = pc.counts;
    double n = 0;
    for (const auto& row : c)
        for (uint64_t v : row)
            n += double(v);
    if (n == 0)
        return NAN;
    // Haplotypes known from the samples that are not het at both: the
    // second allele at both (a), at neither (b), at x only (cx), at y only
    // (cy); k samples are het at both and hold either a/b or cx/cy.
    const double a = 2.0 * c[2][2] + c[2][1] + c[1][2];
    const double b = 2.0 * c[0][0] + c[0][1] + c[1][0];
    const double cx = 2.0 * c[2][0] + c[2][1] + c[1][0];
    const double cy = 2.0 * c[0][2] + c[1][2] + c[0][1];
    const double k = double(c[1][1]);
    const double total = 2 * n;
    const double px = (a + cx + k) / total, py = (a + cy + k) / total;
    if (px <= 0 || px >= 1 || py <= 0 || py >= 1)
        return NAN;
    double h = 0; // the double hets phased a/b
    if (k > 0) {
        // Stationary points of the likelihood in h: h (fa fb + fx fy) = k fa fb.
        const double C = cx + k, E = cy + k;
        const std::vector<double> roots = rootsIn(a + b - C - E - k, a * b + C * E - k * (a + b), -k * a * b, k);
        double best = -HUGE_VAL;
        for (double r : roots) {
            const double fa = (a + r) / total, fb = (b + r) / total, fx = (cx + k - r) / total,
                         fy = (cy + k - r) / total;
            const double like = xlog(a, fa) + xlog(b, fb) + xlog(cx, fx) + xlog(cy, fy) + xlog(k, fa * fb + fx * fy);
            if (like > best) {
                best = like;
                h = r;
            }
        }
    }
    const double d = (a + h) / total - px * py;
    return d * d / (px * (1 - px) * py * (1 - py));
}
