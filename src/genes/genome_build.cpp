// Genome build evidence and the lines that report it. The fingerprint is
// compiled in from src/genes/fingerprint/rsid_builds.tsv, sorted by rs number,
// and looked up by binary search: a row pays for the lookup only when its id
// starts with "rs".
//
// How the table's build is decided (table_build.cpp): -build wins; else the
// first of the metadata file, the fingerprint and the positions that names a
// build. The fingerprint names a build when at least 10 rows carry one of its
// rsIDs and at least 80% of them lie at that build's positions; when 80% lie
// at neither, it rules both out. The positions rule out a build when a
// chromosome holds a position beyond that build's length; they name the
// other build when exactly one is ruled out. Evidence that names another
// build, or rules out the one decided, is shown beside it.
#include "genes/genome_build.h"

#include "base/chromosome_names.h"
#include "genes/gene_index.h"
#include "io/header_fields.h"
#include "io/line_reader.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace {

struct FingerprintEntry {
    uint32_t rs, grch37, grch38;
};

const FingerprintEntry kFingerprint[] = {
#include "build_fingerprint_data.inc"
};

// Chromosome lengths of the primary assemblies: 1..22, X, Y, MT.
struct BuildLengths {
    const char* build;
    int64_t lengths[25];
};
const BuildLengths kLengths[] = {
    {"GRCh37",
     {249250621, 243199373, 198022430, 191154276, 180915260, 171115067, 159138663, 146364022, 141213431,
      135534747, 135006516, 133851895, 115169878, 107349540, 102531392, 90354753,  81195210,  78077248,
      59128983,  63025520,  48129895,  51304566,  155270560, 59373566,  16569}},
    {"GRCh38",
     {248956422, 242193529, 198295559, 190214555, 181538259, 170805979, 159345973, 145138636, 138394717,
      133797422, 135086622, 133275309, 114364328, 107043718, 101991189, 90338345,  83257441,  80373285,
      58617616,  64444167,  46709983,  50818468,  156040895, 57227415,  16569}},
};

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trimmed(std::string_view s)
{
    const char* blanks = " \t\r\"'";
    const size_t from = s.find_first_not_of(blanks);
    if (from == std::string_view::npos)
        return {};
    return s.substr(from, s.find_last_not_of(blanks) - from + 1);
}

// The names in the natural chromosome order, at most `most` of them.
std::string joined(std::vector<std::string> names, size_t most = 6)
{
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int ra = naturalChromosomeRank(a), rb = naturalChromosomeRank(b);
        return (ra < 0 ? 1000 : ra) < (rb < 0 ? 1000 : rb);
    });
    std::string out;
    for (size_t k = 0; k < names.size() && k < most; ++k)
        out += (k ? ", " : "") + names[k];
    if (names.size() > most)
        out += " and " + std::to_string(names.size() - most) + " more";
    return out;
}

// The chromosomes whose largest position lies beyond the build's length.
std::vector<std::string> beyond(const std::string& build, const std::vector<std::pair<std::string, int64_t>>& ends)
{
    std::vector<std::string> out;
    for (const auto& [name, end] : ends) {
        const int64_t length = knownChromosomeLength(build, name);
        if (length > 0 && end > length)
            out.push_back(name);
    }
    return out;
}

} // namespace

BuildCall positionsCall(const std::vector<std::pair<std::string, int64_t>>& ends, const char* what)
{
    BuildCall c;
    const std::vector<std::string> b37 = beyond("GRCh37", ends), b38 = beyond("GRCh38", ends);
    if (!b37.empty() && !b38.empty()) {
        c.excluded = {"GRCh37", "GRCh38"};
        std::vector<std::string> both;
        for (const std::string& n : b37)
            if (std::find(b38.begin(), b38.end(), n) != b38.end())
                both.push_back(n);
        c.exclusion = std::string(what) + " beyond the lengths of GRCh37 and GRCh38 on " +
                      joined(both.empty() ? b37 : both);
    } else if (!b37.empty() || !b38.empty()) {
        const bool not37 = !b37.empty();
        c.build = not37 ? "GRCh38" : "GRCh37";
        c.excluded = {not37 ? "GRCh37" : "GRCh38"};
        c.evidence = std::string(what) + " beyond " + c.excluded.front() + "'s length on " + joined(not37 ? b37 : b38);
        c.exclusion = c.evidence;
    }
    return c;
}

namespace {

// The build the ##sequence-region lengths match exactly, when they match one.
std::string sequenceRegionBuild(const std::vector<std::pair<std::string, int64_t>>& lengths)
{
    for (const BuildLengths& b : kLengths) {
        int same = 0, other = 0;
        for (const auto& [name, length] : lengths) {
            const int64_t known = knownChromosomeLength(b.build, name);
            if (known > 0 && known != 16569)
                (known == length ? same : other) += 1;
        }
        if (same > 0 && other == 0)
            return b.build;
    }
    return "";
}

bool isIdName(const std::string& name)
{
    static const char* const kNames[] = {"rsid", "rs_id", "rs", "snp", "snpid", "snp_id", "snpname", "marker",
                                         "markername", "marker_id", "markerid", "variant_id", "variant", "id",
                                         "#id", "rsids", "snps", "name"};
    const std::string l = lower(name);
    for (const char* n : kNames)
        if (l == n)
            return true;
    return false;
}

} // namespace

bool BuildCall::rulesOut(const std::string& name) const
{
    return std::find(excluded.begin(), excluded.end(), name) != excluded.end();
}

std::string canonicalBuild(std::string_view name)
{
    const std::string_view t = trimmed(name);
    const std::string l = lower(t);
    auto startsWith = [&](const char* p) { return l.compare(0, std::strlen(p), p) == 0; };
    if (l == "hg19" || l == "b37" || l == "hs37d5" || l == "grch37" || startsWith("grch37.") || l == "37")
        return "GRCh37";
    if (l == "hg38" || l == "b38" || l == "grch38" || startsWith("grch38.") || l == "38")
        return "GRCh38";
    if (l == "hg18" || l == "ncbi36" || startsWith("ncbi36.") || l == "b36" || l == "36")
        return "NCBI36";
    return std::string(t);
}

int64_t knownChromosomeLength(const std::string& build, std::string_view chrom)
{
    const int rank = naturalChromosomeRank(chrom);
    const int slot = rank >= 1 && rank <= 24 ? rank - 1 : rank == 26 ? 24 : -1;
    if (slot < 0)
        return 0;
    for (const BuildLengths& b : kLengths)
        if (build == b.build)
            return b.lengths[slot];
    return 0;
}

bool fingerprintPositions(std::string_view id, uint32_t& grch37, uint32_t& grch38)
{
    if (id.size() < 3 || id[0] != 'r' || id[1] != 's')
        return false;
    uint64_t rs = 0;
    size_t k = 2;
    for (; k < id.size() && id[k] >= '0' && id[k] <= '9' && k < 14; ++k)
        rs = rs * 10 + static_cast<uint64_t>(id[k] - '0');
    if (k == 2 || (k < id.size() && id[k] != ':') || rs > UINT32_MAX)
        return false;
    const auto* end = std::end(kFingerprint);
    const auto* at = std::lower_bound(std::begin(kFingerprint), end, rs,
                                      [](const FingerprintEntry& e, uint64_t v) { return e.rs < v; });
    if (at == end || at->rs != rs)
        return false;
    grch37 = at->grch37;
    grch38 = at->grch38;
    return true;
}

size_t fingerprintSize() { return std::size(kFingerprint); }

void AnnotationBuildNotes::headerLine(std::string_view line)
{
    auto after = [&](std::string_view key) { return trimmed(line.substr(key.size())); };
    if (declaredBy_ != "#!genome-build" && line.rfind("#!genome-build", 0) == 0) {
        declared_ = canonicalBuild(after("#!genome-build"));
        declaredBy_ = "#!genome-build";
    } else if (declared_.empty() && line.rfind("#!genome-version", 0) == 0) {
        declared_ = canonicalBuild(after("#!genome-version"));
        declaredBy_ = "#!genome-version";
    } else if (declared_.empty() && line.rfind("##description", 0) == 0) {
        // GENCODE's GRCh37 files are its GRCh38 genes "mapped to GRCh37".
        const std::string l = lower(line);
        declared_ = l.find("mapped to grch37") != std::string::npos ? "GRCh37"
                    : l.find("grch38") != std::string::npos         ? "GRCh38"
                    : l.find("grch37") != std::string::npos         ? "GRCh37"
                                                                    : "";
        declaredBy_ = declared_.empty() ? "" : "##description";
    } else if (line.rfind("##sequence-region", 0) == 0) {
        std::vector<std::string_view> w;
        for (std::string_view rest = line.substr(17); !(rest = trimmed(rest)).empty();) {
            const size_t space = rest.find_first_of(" \t");
            w.push_back(rest.substr(0, space));
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space);
        }
        int64_t end = 0;
        if (w.size() == 3 && !w[2].empty() && w[2].find_first_not_of("0123456789") == std::string_view::npos &&
            w[2].size() < 16) {
            for (char c : w[2])
                end = end * 10 + (c - '0');
            sequenceLengths_.emplace_back(std::string(w[0]), end);
        }
    }
}

void AnnotationBuildNotes::geneEnd(std::string_view chrom, int64_t end)
{
    // Records come grouped by chromosome: the map is asked only at a change.
    if (geneEnds_.empty() || geneEnds_[currentEnd_].first != chrom) {
        const auto [at, added] = geneEndAt_.try_emplace(std::string(chrom), geneEnds_.size());
        if (added)
            geneEnds_.emplace_back(std::string(chrom), end);
        currentEnd_ = at->second;
    }
    geneEnds_[currentEnd_].second = std::max(geneEnds_[currentEnd_].second, end);
}

BuildCall AnnotationBuildNotes::call() const
{
    BuildCall c = positionsCall(geneEnds_, "genes end");
    if (!declared_.empty()) {
        c.build = declared_;
        c.evidence = "from its " + declaredBy_ + " line";
    } else if (const std::string b = sequenceRegionBuild(sequenceLengths_); !b.empty()) {
        c.build = b;
        c.evidence = "from its ##sequence-region lengths";
    }
    return c;
}

std::string annotationBuildLine(const std::string& path, const BuildCall& call)
{
    std::string line = "quorlin: gene annotation '" + path + "': genome build ";
    if (!call.build.empty())
        line += call.build + ", " + call.evidence;
    else if (!call.excluded.empty())
        line += "unknown: neither GRCh37 nor GRCh38 (" + call.exclusion + ")";
    else
        line += "unknown (no header line names it, and its genes lie within the GRCh37 and GRCh38 lengths)";
    return line + "\n";
}

std::unique_ptr<InputSource> TableBuildProbe::prepare(std::unique_ptr<InputSource> source, TableLayout& layout)
{
    if (layout.idColumn > 0 || layout.headerLines < 1)
        return source;
    std::string header;
    source = peekLine(std::move(source), layout.headerLines, header);
    const std::vector<std::string> names = headerNames(header, layout.separator);
    for (size_t k = 0; k < names.size(); ++k)
        if (isIdName(names[k])) {
            layout.probeIdColumn = static_cast<int>(k) + 1;
            break;
        }
    return source;
}

void TableBuildProbe::chromosome(std::string_view name)
{
    const auto [at, added] = extentAt_.try_emplace(std::string(name), extents_.size());
    if (added)
        extents_.emplace_back(std::string(name), 0);
    current_ = at->second;
}

void TableBuildProbe::row(int32_t position, std::string_view id)
{
    int64_t& largest = extents_[current_].second;
    largest = std::max<int64_t>(largest, position);
    uint32_t p37 = 0, p38 = 0;
    if (!fingerprintPositions(id, p37, p38))
        return;
    ++hits_;
    at37_ += position == static_cast<int64_t>(p37);
    at38_ += position == static_cast<int64_t>(p38);
}
