#include "plot_test_tables.h"

#include <cmath>
#include <string>

namespace {
const double kLengthsMb[22] = {249.3, 243.2, 198.0, 191.2, 180.9, 171.1, 159.1, 146.4, 141.2, 135.5, 135.0,
                               133.9, 115.2, 107.3, 102.5, 90.4,  81.2,  78.1,  59.1,  63.0,  48.1,  51.3};

struct GenPeak {
    int chr;
    double centre, width, height, gqs;
};
} // namespace

double PlotRng::normal()
{
    const double u = uniform(), v = uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
}

double scaledChiSquareP(PlotRng& rng, double lambda)
{
    const double z = rng.normal();
    // P(chi2_1 > lambda z^2) = erfc(sqrt(lambda z^2 / 2))
    return std::erfc(std::sqrt(lambda * z * z / 2));
}

void streamGenome(PlotCollector& c, const GenomeTable& t)
{
    PlotRng rng(t.seed);
    double total = 0;
    for (int k = 0; k < t.chromosomes; ++k)
        total += kLengthsMb[k % 22];
    std::vector<GenPeak> peaks;
    for (int k = 0; k < t.peaks; ++k) {
        GenPeak p;
        p.chr = static_cast<int>(rng.next() % uint64_t(t.chromosomes));
        const double covered = t.rows * kLengthsMb[p.chr % 22] / total * t.spacing;
        p.centre = 10000 + rng.uniform() * covered;
        p.width = t.spacing * (10 + rng.uniform() * 150) * (k % 7 == 0 ? 6 : 1);
        p.height = 6 + rng.uniform() * rng.uniform() * 34;
        p.gqs = 1 + 4 * rng.uniform();
        peaks.push_back(p);
    }
    for (int chr = 0; chr < t.chromosomes; ++chr) {
        const std::string name = std::to_string(chr + 1);
        c.startChromosome(name);
        const int64_t n = static_cast<int64_t>(t.rows * kLengthsMb[chr % 22] / total);
        double pos = 10000;
        // Per peak on this chromosome: the range of markers above 5 and the summit.
        std::vector<int32_t> first(peaks.size(), -1), last(peaks.size(), -1);
        std::vector<double> best(peaks.size(), 0);
        std::vector<size_t> here; // this chromosome's peaks
        for (size_t k = 0; k < peaks.size(); ++k)
            if (peaks[k].chr == chr)
                here.push_back(k);
        for (int64_t i = 0; i < n; ++i) {
            pos += t.spacing * (0.5 + rng.uniform());
            double signal = 0;
            int which = -1;
            for (size_t k : here) {
                const double d = (pos - peaks[k].centre) / peaks[k].width;
                if (std::fabs(d) < 4) {
                    const double s = peaks[k].height * std::exp(-d * d) * (0.75 + 0.25 * rng.uniform());
                    if (s > signal) {
                        signal = s;
                        which = static_cast<int>(k);
                    }
                }
            }
            double p = rng.uniform();
            if (signal > 0)
                p = std::fmin(p, std::pow(10.0, -signal));
            if (t.zeroPeak && which == 0 && signal > 0.97 * peaks[0].height)
                p = 0;
            const int32_t position = static_cast<int32_t>(pos);
            c.addRow(position, p, true);
            if (which >= 0 && -std::log10(p) > 5) {
                if (first[which] < 0)
                    first[which] = position;
                last[which] = position;
                if (p > 0)
                    best[which] = std::fmax(best[which], -std::log10(p));
            }
        }
        for (size_t k = 0; k < peaks.size(); ++k) {
            if (first[k] < 0)
                continue;
            PlotPeak pk;
            pk.chromosome = name;
            pk.first = first[k];
            pk.last = last[k];
            pk.gqs = peaks[k].gqs;
            pk.height = best[k];
            pk.label = "rs" + std::to_string(1000 + 7919 * (k + 1));
            c.addPeak(pk);
        }
    }
}
