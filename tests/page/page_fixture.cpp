// The example page's data from a real run of the example table.
#include "page_fixture.h"

#include "regional_svg.h"

#include <QProcess>
#include <QStringList>

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string f;
    while (std::getline(in, f, '\t'))
        out.push_back(f);
    return out;
}

struct Marker {
    std::string chrom, id;
    int32_t position;
    double log10p;
};

} // namespace

page::TablePage examplePage(const std::string& quorlin, const std::string& examplesDir, const std::string& outDir)
{
    page::TablePage t;
    const std::string table = examplesDir + "/example.tsv";
    QStringList args;
    for (const std::string& a : {std::string("-file"), table, std::string("-out"), outDir + "/example.report.tsv",
                                 std::string("-lcolumn"), std::string("2"), std::string("-pcolumn"),
                                 std::string("8"), std::string("-chrcolumn"), std::string("1"),
                                 std::string("-idcolumn"), std::string("3"), std::string("-header"),
                                 std::string("yes"), std::string("-bed"), outDir + "/example.bed",
                                 std::string("-plot"), outDir + "/example.svg"})
        args << QString::fromStdString(a);
    QProcess run;
    run.start(QString::fromStdString(quorlin), args);
    if (!run.waitForFinished(120000) || run.exitCode() != 0)
        return t;
    t.tableName = "example.tsv";
    t.commandLine.push_back("quorlin");
    for (const QString& a : args)
        t.commandLine.push_back(a.toStdString());
    t.messages = run.readAllStandardError().toStdString();
    t.reportTsv = slurp(outDir + "/example.report.tsv");
    t.manhattanSvg = slurp(outDir + "/example.svg");
    t.versionText = "Quorlin (test fixture)";
    t.runTimeText = "0.1 s";
    t.lambdaGcText = "1.002";

    std::vector<Marker> markers;
    std::istringstream rows(slurp(table));
    std::string line;
    std::getline(rows, line);
    std::set<std::string> chromosomes;
    while (std::getline(rows, line)) {
        const auto f = fields(line);
        const double p = std::stod(f[7]);
        markers.push_back({f[0], f[2], std::stoi(f[1]), p > 0 ? -std::log10(p) : INFINITY});
        chromosomes.insert(f[0]);
        t.markersRetained += p <= 0.001 ? 1 : 0;
    }
    t.rowsRead = t.rowsUsed = static_cast<int64_t>(markers.size());
    t.chromosomes = static_cast<int64_t>(chromosomes.size());

    // Loci: one per BED line, statuses in turn; then loci without a peak at
    // the strongest markers of three chromosomes without one, the first with
    // p = 0 (inf). The first locus's lead id gets HTML's special characters.
    std::ostringstream loci;
    loci << "chrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tmarkers\tstatus\tpeaks\tpeak_ranges\tbest_gqs\n";
    struct Lead { std::string chrom, id; int32_t position; double value; std::string status; };
    std::vector<Lead> leads;
    std::istringstream bed(slurp(outDir + "/example.bed"));
    const char* const statuses[] = {"peak", "split", "merged", "peak"};
    std::set<std::string> withPeak;
    while (std::getline(bed, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const auto f = fields(line);
        const std::string status = statuses[leads.size() % 4];
        std::string id = leads.empty() ? "rs<b>&\"'1" : f[3];
        leads.push_back({f[0], id, std::stoi(f[6]), std::stod(f[7]), status});
        withPeak.insert(f[0]);
        loci << f[0] << '\t' << f[1] << '\t' << f[2] << '\t' << id << '\t' << f[6] << '\t' << f[7] << '\t' << f[9]
             << '\t' << status << "\t1\t" << std::stoll(f[1]) + 1 << '-' << f[2] << '\t' << f[8] << '\n';
        ++t.peaks;
    }
    t.lociWithPeak = static_cast<int64_t>(leads.size());
    for (const std::string& chrom : chromosomes) {
        if (withPeak.count(chrom) || t.lociWithoutPeak == 3)
            continue;
        const Marker* best = nullptr;
        for (const Marker& m : markers)
            if (m.chrom == chrom && (!best || m.log10p > best->log10p))
                best = &m;
        const bool first = t.lociWithoutPeak == 0;
        leads.push_back({chrom, best->id, best->position, first ? INFINITY : best->log10p, "no_peak"});
        loci << chrom << '\t' << best->position - 1 << '\t' << best->position << '\t' << best->id << '\t'
             << best->position << '\t' << (first ? std::string("inf") : std::to_string(best->log10p))
             << "\t1\tno_peak\t0\t.\tNA\n";
        ++t.lociWithoutPeak;
    }
    t.lociTsv = loci.str();

    for (const Lead& lead : leads) {
        RegionalFigure r;
        r.chromosome = lead.chrom;
        r.windowStart = int64_t(lead.position) - 100000;
        r.windowEnd = int64_t(lead.position) + 100000;
        for (const Marker& m : markers)
            if (m.chrom == lead.chrom && m.position >= r.windowStart && m.position <= r.windowEnd) {
                r.positions.push_back(m.position);
                r.values.push_back(m.log10p);
            }
        r.leadPosition = lead.position;
        r.leadId = lead.id;
        r.leadValue = lead.value;
        r.status = lead.status;
        t.regionalSvgs[{lead.chrom, lead.position}] = regionalSvg(r).toStdString();
    }
    return t;
}
