// Straightforward versions of the compression and the chunk building, written
// directly from the rules, for the differential tests.
#include "reference_analysis.h"

#include "peakcomber1.h"

#include <algorithm>

void referenceCompressPositions()
{
    const double tempMinP = minmax(Ptemp, -1);
    const double tempMaxP = minmax(Ptemp, 1);
    const size_t n = Ltemp.size();
    for (size_t i = 0; i + 1 < n; ++i) {
        const int64_t shorten =
            gapShortening(Ltemp[i + 1] - Ltemp[i], (Ptemp[i + 1] + Ptemp[i]) * 0.5, tempMinP, tempMaxP);
        for (size_t j = i + 1; j < n; ++j) {
            const int64_t newL = Ltemp[j] - shorten;
            Ltemp[j] = newL > Ltemp[j - 1] ? newL : Ltemp[j - 1] + 1;
        }
    }
}

namespace {

int indexOf(int64_t position)
{
    return static_cast<int>(std::find(Ltemp.begin(), Ltemp.end(), position) - Ltemp.begin());
}

void referenceCut()
{
    WorkPositions L2 = Ltemp;
    while (!L2.empty()) {
        if (L2.size() == 1) {
            StartL.push_back(indexOf(L2[0]));
            EndL.push_back(indexOf(L2[0]));
            return;
        }
        int64_t max = 0, maxloc = 0;
        for (size_t i = 1; i < L2.size(); ++i) {
            if (L2[i] - L2[i - 1] > max) {
                max = L2[i] - L2[i - 1];
                maxloc = static_cast<int64_t>(i);
            }
        }
        if (maxloc == 0)
            return;
        const double size = static_cast<double>(L2.size());
        WorkPositions L3;
        if ((2.0 * maxloc - 1) / 2 >= (size - 1) / 2)
            L3.assign(L2.begin(), L2.begin() + maxloc);
        else
            L3.assign(L2.begin() + maxloc, L2.end());
        L2 = L3;
        StartL.push_back(indexOf(L2.front()));
        EndL.push_back(indexOf(L2.back()));
    }
}

} // namespace

int referenceSplitAll(double inflation)
{
    StartL.clear();
    EndL.clear();
    PvalL.clear();
    referenceCut();
    ChunkMeasures cm;
    for (size_t k = 0; k < StartL.size(); ++k) {
        const int s = StartL[k], e = EndL[k];
        PvalL.push_back(minmax(subVector1(Ptemp, s, e, 0), 1));
        cm.MedChunk.push_back(s < e ? (Ltemp[e] - Ltemp[s]) / (e - s) : 0);
        int64_t widest = 0;
        for (int j = s; j < e; ++j)
            widest = std::max(widest, Ltemp[j + 1] - Ltemp[j]);
        cm.MaxChunk.push_back(widest);
    }
    return chooseReport(cm, inflation);
}
