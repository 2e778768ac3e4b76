// The study-wide table. Each chromosome's loci are sorted by start; a locus
// is compared with the furthest end of each table's earlier loci and with
// the later loci that start within its end + window.
#include "cli/study_loci.h"

#include "report/peak_row.h"

#include "base/chromosome_names.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace {

constexpr size_t kFixedColumns = 11; // chrom .. best_gqs
const char* const kGeneColumns[] = {"nearest_gene", "gene_distance", "genes"};

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

struct Row {
    size_t table;
    std::string chromosome; // its key: "chr1" and "1" are one
    int64_t start, end;
    std::string fields; // the kept columns, tab-joined
};

} // namespace

std::string studyLociText(const std::vector<TableLociText>& tables, int64_t window)
{
    std::vector<Row> rows;
    std::vector<std::string> chromosomes; // keys, by first appearance
    std::set<std::string> seen;
    std::vector<size_t> kept;              // the columns kept, by index in the loci files
    std::vector<std::string> keptNames;
    for (size_t t = 0; t < tables.size(); ++t) {
        std::vector<std::string> lines = split(tables[t].text, '\n');
        if (lines.empty())
            continue;
        const std::vector<std::string> header = split(lines[0], '\t');
        if (kept.empty()) {
            for (size_t k = 0; k < header.size(); ++k)
                if (k < kFixedColumns || header[k] == "clumped_by" ||
                    std::find(std::begin(kGeneColumns), std::end(kGeneColumns), header[k]) != std::end(kGeneColumns)) {
                    kept.push_back(k);
                    keptNames.push_back(header[k]);
                }
        }
        for (size_t k = 1; k < lines.size(); ++k) {
            if (lines[k].empty())
                continue;
            const std::vector<std::string> f = split(lines[k], '\t');
            if (f.size() < kFixedColumns)
                continue;
            std::string joined;
            for (size_t j = 0; j < kept.size() && kept[j] < f.size(); ++j)
                joined += (j ? "\t" : "") + f[kept[j]];
            const std::string key = chromosomeKey(f[0]);
            rows.push_back({t, key, std::stoll(f[1]), std::stoll(f[2]), joined});
            if (seen.insert(key).second)
                chromosomes.push_back(key);
        }
    }
    std::map<std::string, size_t> rank;
    const std::vector<int> order = naturalChromosomeOrder(chromosomes);
    for (size_t k = 0; k < order.size(); ++k)
        rank[chromosomes[static_cast<size_t>(order[k])]] = k;
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        const size_t ra = rank[a.chromosome], rb = rank[b.chromosome];
        if (ra != rb)
            return ra < rb;
        return a.start != b.start ? a.start < b.start : a.table < b.table;
    });
    std::string text = "table";
    for (size_t k = 0; k < keptNames.size(); ++k)
        text += "\t" + keptNames[k];
    if (keptNames.empty())
        text += "\tchrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tmarkers\tstatus\tpeaks\tpeak_ranges\tbest_gqs";
    text += "\tshared_with\n";
    std::map<size_t, int64_t> furthestEnd; // per table: the largest end of its rows so far on this chromosome
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 0 || rows[i].chromosome != rows[i - 1].chromosome)
            furthestEnd.clear();
        std::set<size_t> shared;
        // Earlier rows start no later: one comes within the window exactly
        // when its table's furthest end does.
        for (const auto& [table, end] : furthestEnd)
            if (table != rows[i].table && end + window >= rows[i].start)
                shared.insert(table);
        // Later rows start no earlier: the first too far stops the scan.
        for (size_t j = i + 1; j < rows.size() && rows[j].chromosome == rows[i].chromosome; ++j) {
            if (rows[j].start - rows[i].end > window)
                break;
            if (rows[j].table != rows[i].table)
                shared.insert(rows[j].table);
        }
        int64_t& furthest = furthestEnd.emplace(rows[i].table, rows[i].end).first->second;
        furthest = std::max(furthest, rows[i].end);
        std::string names;
        for (size_t t : shared)
            names += (names.empty() ? "" : ",") + tables[t].table;
        appendTsvField(text, tables[rows[i].table].table);
        text += "\t" + rows[i].fields + "\t";
        appendTsvField(text, names.empty() ? "." : names);
        text += "\n";
    }
    return text;
}
