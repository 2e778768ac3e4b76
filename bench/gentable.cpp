// Deterministic generator of realistic association tables for the example
// and the benchmarks: columns CHR BP SNP A1 A2 BETA SE P, 22 chromosomes
// with their real relative lengths, uniform background p-values and
// association peaks of different heights and widths.
//
//   quorlin_gentable ROWS [SEED] [PEAKS] [SPACING]
//                                            genome-wide table on stdout,
//                                            markers about SPACING (300) bp apart
//   quorlin_gentable --dense RETAINED [SEED] one chromosome, every marker
//                                            retained, a quarter of them in
//                                            tall peaks
//   quorlin_gentable --broad MARKERS [CHROMOSOMES]
//                                            per chromosome 120k background
//                                            markers around one broad strong
//                                            region of MARKERS markers
//   quorlin_gentable --plateau MARKERS [GAP] [LEVELS]
//                                            one chromosome of MARKERS equal
//                                            strong p-values GAP (100) bp
//                                            apart, in LEVELS (1) stretches
//                                            of different values
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

uint64_t state = 88172645463325252ULL;
uint64_t next()
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}
double uniform() { return (next() >> 11) * (1.0 / 9007199254740992.0); }

// GRCh37 chromosome lengths in megabases.
const double kLengthsMb[22] = {249.3, 243.2, 198.0, 191.2, 180.9, 171.1, 159.1, 146.4, 141.2, 135.5, 135.0,
                               133.9, 115.2, 107.3, 102.5, 90.4,  81.2,  78.1,  59.1,  63.0,  48.1,  51.3};

struct Peak {
    int chr;
    double centre, width, height;
};

const char kBases[] = "ACGT";

void writeRow(int chr, long long pos, long long id, double p)
{
    const double beta = (uniform() - 0.5) * 0.2;
    std::printf("%d\t%lld\trs%lld\t%c\t%c\t%.4f\t%.4f\t%.3g\n", chr, pos, id, kBases[next() % 4], kBases[next() % 4],
                beta, 0.01 + uniform() * 0.05, p);
}

// -log10 p of a marker at pos: the strongest peak there, with noise.
double signalAt(const std::vector<Peak>& peaks, int chr, double pos)
{
    double best = 0;
    for (const Peak& pk : peaks) {
        if (pk.chr != chr)
            continue;
        const double d = (pos - pk.centre) / pk.width;
        if (std::fabs(d) < 4)
            best = std::fmax(best, pk.height * std::exp(-d * d) * (0.7 + 0.3 * uniform()));
    }
    return best;
}

void genomeWide(long long rows, int npeaks, double spacing)
{
    double total = 0;
    for (double l : kLengthsMb)
        total += l;
    std::vector<Peak> peaks;
    for (int k = 0; k < npeaks; ++k) {
        const int chr = 1 + static_cast<int>(next() % 22);
        const double covered = rows * kLengthsMb[chr - 1] / total * spacing;
        const double broad = k % 10 == 0 ? 30 : 1;
        peaks.push_back({chr, 10000 + uniform() * covered, spacing * (20 + uniform() * 300) * broad,
                         4 + uniform() * uniform() * 60});
    }
    std::printf("CHR\tBP\tSNP\tA1\tA2\tBETA\tSE\tP\n");
    long long id = 1;
    for (int chr = 1; chr <= 22; ++chr) {
        const long long n = static_cast<long long>(rows * kLengthsMb[chr - 1] / total);
        double pos = 10000;
        for (long long i = 0; i < n; ++i, ++id) {
            pos += 1 + uniform() * 2 * spacing;
            const double s = signalAt(peaks, chr, pos);
            const double p = std::fmin(uniform(), std::pow(10.0, -s));
            writeRow(chr, static_cast<long long>(pos), id, p);
        }
    }
}

void dense(long long retained)
{
    std::printf("CHR\tBP\tSNP\tA1\tA2\tBETA\tSE\tP\n");
    double pos = 10000;
    const long long peakLength = 400;
    for (long long i = 0; i < retained; ++i) {
        pos += 20 + uniform() * 600;
        const long long inCycle = i % (4 * peakLength);
        double logp = 3 + uniform() * 3;
        if (inCycle < peakLength) {
            const double d = (inCycle - peakLength / 2.0) / (peakLength / 4.0);
            logp = 5.5 + 40 * std::exp(-d * d) * (0.8 + 0.2 * uniform());
        }
        writeRow(1, static_cast<long long>(pos), i + 1, std::pow(10.0, -logp));
    }
}

// A broad, dense, very strong region like the MHC of an imputed biobank
// table: markers about 30 bp apart under a 60-high bump of -log10(p), in the
// middle of 120k background markers about 300 bp apart, none of which
// passes the default input limit (p <= 0.001). The bump is smooth: noise, or
// background markers beside it, can split the region into scorable chunks.
void broad(long long regionMarkers, int chromosomes)
{
    const long long background = 120000;
    std::printf("CHR\tBP\tSNP\tA1\tA2\tBETA\tSE\tP\n");
    long long id = 1;
    for (int chr = 1; chr <= chromosomes; ++chr) {
        double pos = 10000;
        for (long long i = 0; i < background / 2; ++i, ++id) {
            pos += 1 + uniform() * 600;
            writeRow(chr, static_cast<long long>(pos), id, 0.002 + 0.998 * uniform());
        }
        for (long long i = 0; i < regionMarkers; ++i, ++id) {
            pos += 1 + uniform() * 58;
            const double d = (i - regionMarkers / 2.0) / (regionMarkers * 2.0);
            writeRow(chr, static_cast<long long>(pos), id, std::pow(10.0, -60 * std::exp(-d * d)));
        }
        for (long long i = 0; i < background / 2; ++i, ++id) {
            pos += 1 + uniform() * 600;
            writeRow(chr, static_cast<long long>(pos), id, 0.002 + 0.998 * uniform());
        }
    }
}

// Equal p-values, as capped or imputed tables give: stretches of one value
// each, 1e-10, 1e-12, 1e-14, ... in a shuffled order, evenly spaced.
void plateau(long long markers, long long gap, int levels)
{
    std::printf("CHR\tBP\tSNP\tA1\tA2\tBETA\tSE\tP\n");
    const long long stretch = (markers + levels - 1) / levels;
    for (long long i = 0; i < markers; ++i) {
        const long long k = i / stretch;
        const double logp = 10 + 2 * static_cast<double>((k * 3) % levels);
        writeRow(1, 10000 + i * gap, i + 1, std::pow(10.0, -logp));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--dense") == 0) {
        if (argc > 3)
            state += std::strtoull(argv[3], nullptr, 10);
        dense(std::atoll(argv[2]));
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--broad") == 0) {
        broad(std::atoll(argv[2]), argc > 3 ? std::atoi(argv[3]) : 1);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--plateau") == 0) {
        plateau(std::atoll(argv[2]), argc > 3 ? std::atoll(argv[3]) : 100, argc > 4 ? std::max(1, std::atoi(argv[4])) : 1);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: %s ROWS [SEED] [PEAKS] | --dense RETAINED [SEED] | --broad MARKERS [CHROMOSOMES] | "
                     "--plateau MARKERS [GAP] [LEVELS]\n",
                     argv[0]);
        return 2;
    }
    if (argc > 2)
        state += std::strtoull(argv[2], nullptr, 10);
    genomeWide(std::atoll(argv[1]), argc > 3 ? std::atoi(argv[3]) : 300, argc > 4 ? std::atof(argv[4]) : 300);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
