// r² of window markers to a reference marker. The windows' markers become
// one list of loci candidates (id as text, no allele columns), matched to
// the panel as the clumping matches its candidates: by id, else by place.
#include "ld/window_r2.h"

#include "base/digit_groups.h"

#include <cmath>
#include <map>

bool windowR2(const LdPanel& panel, const std::vector<WindowMarkers>& windows, std::vector<std::vector<float>>& r2,
              std::vector<uint8_t>& referenceFound, std::string& why)
{
    LociCandidates c;
    std::map<std::string, uint32_t> chromosomeIndex;
    std::vector<size_t> first(windows.size());
    for (size_t w = 0; w < windows.size(); ++w) {
        const WindowMarkers& m = windows[w];
        const auto [it, added] = chromosomeIndex.emplace(m.chromosome, static_cast<uint32_t>(c.chromosomes.size()));
        if (added)
            c.chromosomes.push_back(m.chromosome);
        first[w] = c.candidates.size();
        const size_t n = m.positions ? m.positions->size() : 0;
        for (size_t i = 0; i < n; ++i) {
            c.candidates.push_back({(*m.positions)[i], it->second, 1.0, c.text.size()});
            if (m.ids && i < m.ids->size())
                c.text += (*m.ids)[i];
        }
    }
    PanelMatch match;
    if (!matchCandidates(c, panel, -1, -1, match, why))
        return false;
    r2.assign(windows.size(), {});
    referenceFound.assign(windows.size(), 0);
    for (size_t w = 0; w < windows.size(); ++w) {
        const WindowMarkers& m = windows[w];
        const size_t n = m.positions ? m.positions->size() : 0;
        r2[w].assign(n, NAN);
        if (m.reference < 0 || static_cast<size_t>(m.reference) >= n)
            continue;
        const int32_t ref = match.slot[first[w] + static_cast<size_t>(m.reference)];
        if (ref < 0)
            continue;
        referenceFound[w] = 1;
        for (size_t i = 0; i < n; ++i) {
            const int32_t slot = match.slot[first[w] + i];
            if (slot >= 0)
                r2[w][i] = static_cast<float>(
                    haplotypeR2(pairCounts(match.planes, static_cast<size_t>(ref), static_cast<size_t>(slot))));
        }
    }
    return true;
}

std::string panelSamplesText(const LdPanel& panel, const std::string& samplesFile)
{
    const size_t n = panel.parts.empty() ? 0 : panel.parts.front().chosen.size();
    const std::string count = groupDigits(static_cast<int64_t>(n)) + (n == 1 ? " sample" : " samples");
    if (samplesFile.empty())
        return "all " + count;
    const size_t slash = samplesFile.find_last_of('/');
    return "the " + count + " of " + (slash == std::string::npos ? samplesFile : samplesFile.substr(slash + 1));
}
