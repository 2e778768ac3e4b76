// The table's side of the genome builds (genome_build.h): the call from the
// metadata file, the fingerprint and the positions, and the lines that
// report it against -build and the annotation's build.
#include "base/chromosome_names.h"
#include "genes/gene_index.h"
#include "genes/genome_build.h"

#include <fstream>

namespace {

constexpr long long kMinFingerprintRows = 10;

std::string percent(long long part, long long whole)
{
    return std::to_string(whole > 0 ? (part * 100 + whole / 2) / whole : 0) + "%";
}

// What the fingerprint says: a build, both ruled out, or nothing.
BuildCall fingerprintCall(const TableBuildProbe& p)
{
    BuildCall c;
    const long long n = p.fingerprintRows();
    if (n < kMinFingerprintRows)
        return c;
    const std::string counted = " of the " + std::to_string(n) + " rows with an rsID of the build fingerprint";
    if (p.at37() * 5 >= n * 4 && p.at37() > p.at38()) {
        c.build = "GRCh37";
        c.evidence = std::to_string(p.at37()) + counted + " lie at its GRCh37 positions";
    } else if (p.at38() * 5 >= n * 4 && p.at38() > p.at37()) {
        c.build = "GRCh38";
        c.evidence = std::to_string(p.at38()) + counted + " lie at its GRCh38 positions";
    } else if ((n - p.at37() - p.at38()) * 5 >= n * 4) {
        c.excluded = {"GRCh37", "GRCh38"};
        c.exclusion = std::to_string(n - p.at37() - p.at38()) + counted + " lie at neither its GRCh37 nor its " +
                      "GRCh38 positions";
    }
    return c;
}

// True when b speaks against the build name.
bool contradicts(const BuildCall& b, const std::string& name)
{
    return (!b.build.empty() && b.build != name) || b.rulesOut(name);
}

std::string reasonOf(const BuildCall& b) { return b.build.empty() ? b.exclusion : b.evidence; }

} // namespace

std::string metadataBuild(const std::string& table, std::string& file)
{
    std::vector<std::string> names{table + "-meta.yaml"};
    if (table.size() > 3 && table.compare(table.size() - 3, 3, ".gz") == 0)
        names.push_back(table.substr(0, table.size() - 3) + "-meta.yaml");
    for (const std::string& name : names) {
        std::ifstream in(name);
        std::string line;
        for (int n = 0; in && n < 10000 && std::getline(in, line); ++n)
            if (line.rfind("genome_assembly:", 0) == 0) {
                const std::string build = canonicalBuild(std::string_view(line).substr(16));
                if (!build.empty()) {
                    file = name;
                    return build;
                }
            }
    }
    return "";
}

BuildCall TableBuildProbe::call(const std::string& table) const
{
    std::vector<BuildCall> evidence;
    std::string file;
    if (const std::string b = metadataBuild(table, file); !b.empty()) {
        evidence.emplace_back();
        evidence.back().build = b;
        evidence.back().evidence = "genome_assembly in " + file;
    }
    evidence.push_back(fingerprintCall(*this));
    evidence.push_back(positionsCall(extents_, "positions"));
    BuildCall decided;
    for (const BuildCall& e : evidence)
        if (decided.build.empty() && !e.build.empty()) {
            decided.build = e.build;
            decided.evidence = "inferred: " + e.evidence;
        }
    for (const BuildCall& e : evidence) {
        if (!decided.build.empty() && contradicts(e, decided.build) && e.evidence != decided.evidence.substr(10))
            decided.evidence += "; but " + reasonOf(e);
        bool adds = false;
        for (const std::string& x : e.excluded)
            if (!decided.rulesOut(x)) {
                decided.excluded.push_back(x);
                adds = true;
            }
        if (adds)
            decided.exclusion += (decided.exclusion.empty() ? "" : "; ") + e.exclusion;
    }
    return decided;
}

std::string tableBuildLines(const std::string& table, const std::string& declared, const TableBuildProbe& probe,
                            const BuildCall* annotation, const GeneIndex* genes)
{
    const std::string head = "quorlin: " + table + ": ";
    const std::string warning = "quorlin: warning: " + table + ": ";
    const BuildCall inferred = probe.call(table);
    std::string out;
    std::string build = inferred.build;
    if (!declared.empty()) {
        build = canonicalBuild(declared);
        out += head + "genome build " + build + ", declared by -build\n";
        if (contradicts(inferred, build))
            out += warning + "-build " + declared + " is used, but the evidence disagrees: " +
                   (inferred.build.empty() || inferred.build == build ? inferred.exclusion
                                                                      : inferred.evidence.substr(10)) +
                   "\n";
    } else if (!build.empty()) {
        out += head + "genome build " + build + ", " + inferred.evidence + "\n";
    } else if (!inferred.excluded.empty()) {
        out += head + "genome build unknown, " +
               (inferred.excluded.size() > 1 ? "neither GRCh37 nor GRCh38" : "not " + inferred.excluded.front()) +
               " (" + inferred.exclusion + ")\n";
    } else {
        out += head + "genome build unknown (" +
               (probe.fingerprintRows() > 0 ? std::to_string(probe.fingerprintRows()) +
                                                  " rows with an rsID of the build fingerprint, too few or mixed"
                                            : std::string("no rsID of the build fingerprint")) +
               "; no GWAS-SSF metadata file; positions within the GRCh37 and GRCh38 lengths)\n";
    }
    if (annotation) {
        const std::string& theirs = annotation->build;
        std::string why;
        if (!build.empty() && !theirs.empty() && build != theirs)
            why = "the table's genome build is " + build + ", the gene annotation's " + theirs;
        else if (!theirs.empty() && build.empty() && inferred.rulesOut(theirs))
            why = "the table is not " + theirs + " (" + inferred.exclusion + "), the gene annotation's build";
        else if (!build.empty() && theirs.empty() && annotation->rulesOut(build))
            why = "the table's genome build is " + build + ", which the gene annotation is not (" +
                  annotation->exclusion + ")";
        if (!why.empty())
            out += warning + why + "; its gene columns name the genes at the table's positions in another build\n";
    }
    if (genes) {
        size_t named = 0;
        const auto& extents = probe.extents();
        for (const auto& e : extents)
            named += genes->hasChromosome(e.first);
        if (named > 0 && named * 2 < extents.size())
            out += warning + "only " + std::to_string(named) + " of the table's " + std::to_string(extents.size()) +
                   " chromosomes are named in the gene annotation (" + percent(static_cast<long long>(named),
                   static_cast<long long>(extents.size())) +
                   "; another species, build or chromosome naming?); the others' gene columns are '.'\n";
    }
    return out;
}
