// Generated tables for the plot tests, streamed straight into a collector:
// deterministic (their own xorshift generator and arithmetic), so a figure
// drawn from them can be compared byte for byte; and a model's figure.
#pragma once
#include "plot/plot_collector.h"
#include "plot/plot_svg.h"
#include "plot/regional_svg.h"
#include "plot/scene_painter.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

// xorshift64 with a uniform double in (0, 1] and a Box-Muller normal.
struct PlotRng {
    uint64_t state;
    explicit PlotRng(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ULL + 88172645463325252ULL) {}
    uint64_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    double uniform() { return ((next() >> 11) + 1) * (1.0 / 9007199254740992.0); }
    double normal()
    {
        const double u = uniform(), v = uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }
};

// A p-value whose chi-square (1 df) is lambda times a null one:
// P(chi2_1 > lambda z^2) = erfc(sqrt(lambda z^2 / 2)).
inline double scaledChiSquareP(PlotRng& rng, double lambda)
{
    const double z = rng.normal();
    return std::erfc(std::sqrt(lambda * z * z / 2));
}

// Streams a table of about rows markers over GRCh37's 22 autosomes (their
// relative lengths, a marker every 300 bp on average) into c, chromosome by
// chromosome, with association peaks of heights 6..40 (one summit of p = 0
// with zeroPeak), and reports each peak (the run of markers around it above
// -log10 p = 5) with a GQS and a label "rsN".
inline void streamGenome(PlotCollector& c, int64_t rows, int peakCount, bool zeroPeak = false)
{
    static const double kLengthsMb[22] = {249.3, 243.2, 198.0, 191.2, 180.9, 171.1, 159.1, 146.4,
                                          141.2, 135.5, 135.0, 133.9, 115.2, 107.3, 102.5, 90.4,
                                          81.2,  78.1,  59.1,  63.0,  48.1,  51.3};
    const double spacing = 300;
    struct GenPeak {
        int chr;
        double centre, width, height, gqs;
    };
    PlotRng rng(1);
    double total = 0;
    for (double length : kLengthsMb)
        total += length;
    std::vector<GenPeak> peaks(peakCount);
    for (int k = 0; k < peakCount; ++k) {
        GenPeak& p = peaks[k];
        p.chr = static_cast<int>(rng.next() % 22u);
        p.centre = 10000 + rng.uniform() * (rows * kLengthsMb[p.chr] / total * spacing);
        p.width = spacing * (10 + rng.uniform() * 150) * (k % 7 == 0 ? 6 : 1);
        p.height = 6 + rng.uniform() * rng.uniform() * 34;
        p.gqs = 1 + 4 * rng.uniform();
    }
    for (int chr = 0; chr < 22; ++chr) {
        const std::string name = std::to_string(chr + 1);
        c.startChromosome(name);
        // Per peak: the range of markers above 5 and the summit.
        std::vector<int32_t> first(peaks.size(), -1), last(peaks.size(), -1);
        std::vector<double> best(peaks.size(), 0);
        std::vector<size_t> here; // this chromosome's peaks
        for (size_t k = 0; k < peaks.size(); ++k)
            if (peaks[k].chr == chr)
                here.push_back(k);
        double pos = 10000;
        for (int64_t i = 0, n = static_cast<int64_t>(rows * kLengthsMb[chr] / total); i < n; ++i) {
            pos += spacing * (0.5 + rng.uniform());
            double signal = 0;
            int which = -1;
            for (size_t k : here) {
                const double d = (pos - peaks[k].centre) / peaks[k].width;
                if (std::fabs(d) < 4) {
                    const double s = peaks[k].height * std::exp(-d * d) * (0.75 + 0.25 * rng.uniform());
                    if (s > signal)
                        signal = s, which = static_cast<int>(k);
                }
            }
            double p = rng.uniform();
            if (signal > 0)
                p = std::fmin(p, std::pow(10.0, -signal));
            if (zeroPeak && which == 0 && signal > 0.97 * peaks[0].height)
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
        for (size_t k = 0; k < peaks.size(); ++k)
            if (first[k] >= 0)
                c.addPeak({name, first[k], last[k], peaks[k].gqs, best[k],
                           "rs" + std::to_string(1000 + 7919 * (k + 1))});
    }
}

// The collector's model of streamGenome(rows, peakCount).
inline PlotModel genomeModel(int64_t rows, int peakCount, bool zeroPeak = false)
{
    PlotCollector c(0.01);
    streamGenome(c, rows, peakCount, zeroPeak);
    return std::move(c).finish();
}

// The -plot figure of a model as a scene, checked on the way: the PNG and
// PDF painter understands every element, attribute and value in it.
inline Scene figureScene(const PlotModel& m, const PlotSettings& s = PlotSettings(), PlotDrawStats* stats = nullptr)
{
    Scene scene = manhattanQqScene(m, s, stats);
    const QStringList unknown = sceneNotUnderstood(scene);
    EXPECT_TRUE(unknown.isEmpty()) << "the painter does not draw: " << unknown.join(QStringLiteral(", ")).toStdString();
    return scene;
}

// The -plot figure of a model as SVG text (the scene checked as above).
inline QByteArray figureSvg(const PlotModel& m, const PlotSettings& s = PlotSettings(), PlotDrawStats* stats = nullptr)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(writeSceneSvg(figureScene(m, s, stats), buffer));
    return buffer.data();
}

// A regional figure as SVG text, its scene checked as figureScene's.
inline QByteArray checkedRegionalSvg(const RegionalFigure& r, const RegionalSettings& s = RegionalSettings())
{
    const Scene scene = regionalScene(r, s);
    const QStringList unknown = sceneNotUnderstood(scene);
    EXPECT_TRUE(unknown.isEmpty()) << "the painter does not draw: " << unknown.join(QStringLiteral(", ")).toStdString();
    return sceneSvg(scene);
}
