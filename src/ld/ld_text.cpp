// Members file lines and the LD notes.
#include "ld/ld_text.h"

#include "report/number_format.h"
#include "report/peak_row.h"

#include <cmath>
#include <cstdio>

namespace {

void appendName(std::string& out, const LociCandidates& c, size_t k)
{
    const std::string_view id = c.id(k);
    if (!id.empty()) {
        appendTsvField(out, id);
        return;
    }
    appendTsvField(out, c.chromosomes[c.candidates[k].chromosome]);
    out += ':' + std::to_string(c.candidates[k].position);
}

std::string examples(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}

} // namespace

std::string ldMembersText(const LdLoci& loci, const LociCandidates& c)
{
    std::string out = "lead_id\tchrom\tposition\tid\tlog10p\tr2\tdistance\n";
    for (size_t l = 0; l < loci.result.loci.size(); ++l) {
        const Locus& locus = loci.result.loci[l];
        for (const LdMember& m : loci.members[l]) {
            appendName(out, c, locus.lead);
            out += '\t';
            appendTsvField(out, c.chromosomes[locus.chromosome]);
            const int32_t position = c.candidates[m.candidate].position;
            out += '\t' + std::to_string(position) + '\t';
            appendName(out, c, m.candidate);
            out += '\t';
            appendReal(out, c.strength(m.candidate) + 0.0);
            out += '\t';
            if (m.candidate == locus.lead)
                out += '1';
            else if (std::isnan(m.r2))
                out += "NA";
            else {
                char buffer[32];
                std::snprintf(buffer, sizeof buffer, "%.4f", m.r2);
                out += buffer;
            }
            out += '\t' + std::to_string(int64_t(position) - int64_t(locus.leadPosition)) + '\n';
        }
    }
    return out;
}

std::vector<std::string> clumpedByWords(const LdLoci& loci)
{
    std::vector<std::string> words;
    for (uint8_t d : loci.byDistance)
        words.push_back(d ? "distance" : "r2");
    return words;
}

std::string ldNotes(const std::string& table, const LdLoci& loci, const PanelMatch& match)
{
    std::string out = "quorlin: summary: " + table + ": " + std::to_string(loci.absent) + " of " +
                      std::to_string(loci.indexCandidates) + " loci candidates are absent from the LD panel";
    if (loci.absent > 0)
        out += " (" + examples(loci.absentExamples) + (loci.absent > 3 ? ", ..." : "") + "), clumped by distance";
    out += "\n";
    if (loci.absent * 10 > loci.indexCandidates)
        out += "quorlin: warning: " + table + ": more than 10 % of the loci candidates (" +
               std::to_string(loci.absent) + " of " + std::to_string(loci.indexCandidates) +
               ") are absent from the LD panel\n";
    if (match.multiAllelic > 0)
        out += "quorlin: warning: " + table + ": " + std::to_string(match.multiAllelic) +
               " multi-allelic records of the LD panel were skipped\n";
    if (match.byIdElsewhere * 2 > match.byId)
        out += "quorlin: warning: " + table + ": " + std::to_string(match.byIdElsewhere) + " of " +
               std::to_string(match.byId) +
               " variants matched by id lie at another position in the LD panel; the table and the panel look like "
               "different genome builds (" +
               examples(match.elsewhereExamples) + ")\n";
    return out;
}
