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
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '\t');)
        out.push_back(f);
    return out;
}

} // namespace

page::TablePage examplePage(const std::string& quorlin, const std::string& examplesDir, const std::string& outDir)
{
    page::TablePage t;
    const std::string table = examplesDir + "/example.tsv";
    t.commandLine = {"quorlin", "-file", table, "-out", outDir + "/example.report.tsv", "-lcolumn", "2", "-pcolumn",
                     "8", "-chrcolumn", "1", "-idcolumn", "3", "-header", "yes", "-bed", outDir + "/example.bed",
                     "-plot", outDir + "/example.svg"};
    QStringList args;
    for (size_t i = 1; i < t.commandLine.size(); ++i)
        args << QString::fromStdString(t.commandLine[i]);
    QProcess run;
    run.start(QString::fromStdString(quorlin), args);
    if (!run.waitForFinished(120000) || run.exitCode() != 0)
        return t;
    t.tableName = "example.tsv";
    t.messages = run.readAllStandardError().toStdString();
    t.reportTsv = slurp(outDir + "/example.report.tsv");
    t.manhattanSvg = slurp(outDir + "/example.svg");
    t.versionText = "Quorlin (test fixture)";
    t.runTimeText = "0.1 s";
    t.lambdaGcText = "1.002";

    struct Marker { std::string chrom, id; int32_t position; double value; std::string status; };
    std::vector<Marker> markers;
    std::istringstream rows(slurp(table));
    std::string line;
    std::getline(rows, line);
    std::set<std::string> chromosomes;
    while (std::getline(rows, line)) {
        const auto f = fields(line);
        const double p = std::stod(f[7]);
        markers.push_back({f[0], f[2], std::stoi(f[1]), p > 0 ? -std::log10(p) : INFINITY, ""});
        chromosomes.insert(f[0]);
        t.markersRetained += p <= 0.001 ? 1 : 0;
    }
    t.rowsRead = t.rowsUsed = static_cast<int64_t>(markers.size());
    t.chromosomes = static_cast<int64_t>(chromosomes.size());

    // Loci: one per BED line, statuses in turn, the first lead id with HTML's
    // special characters; then loci without a peak at the strongest markers
    // of three chromosomes without one, the first at p = 0 (inf).
    std::ostringstream loci;
    loci << "chrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tmarkers\tstatus\tpeaks\tpeak_ranges\tbest_gqs\n";
    std::vector<Marker> leads;
    std::istringstream bed(slurp(outDir + "/example.bed"));
    const char* const statuses[] = {"peak", "split", "merged", "peak"};
    while (std::getline(bed, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const auto f = fields(line);
        const Marker lead{f[0], leads.empty() ? "rs<b>&\"'1" : f[3], std::stoi(f[6]), std::stod(f[7]),
                          statuses[leads.size() % 4]};
        leads.push_back(lead);
        chromosomes.erase(f[0]);
        loci << f[0] << '\t' << f[1] << '\t' << f[2] << '\t' << lead.id << '\t' << f[6] << '\t' << f[7] << '\t'
             << f[9] << '\t' << lead.status << "\t1\t" << std::stoll(f[1]) + 1 << '-' << f[2] << '\t' << f[8] << '\n';
    }
    t.peaks = t.lociWithPeak = static_cast<int64_t>(leads.size());
    for (auto chrom = chromosomes.begin(); chrom != chromosomes.end() && t.lociWithoutPeak < 3; ++chrom) {
        Marker best{"", "", 0, -INFINITY, "no_peak"};
        for (const Marker& m : markers)
            if (m.chrom == *chrom && m.value > best.value)
                best = {m.chrom, m.id, m.position, m.value, "no_peak"};
        const std::string value = t.lociWithoutPeak == 0 ? "inf" : std::to_string(best.value);
        best.value = t.lociWithoutPeak++ == 0 ? INFINITY : best.value;
        leads.push_back(best);
        loci << best.chrom << '\t' << best.position - 1 << '\t' << best.position << '\t' << best.id << '\t'
             << best.position << '\t' << value << "\t1\tno_peak\t0\t.\tNA\n";
    }
    t.lociTsv = loci.str();

    for (const Marker& lead : leads) {
        RegionalFigure r;
        r.chromosome = lead.chrom;
        r.windowStart = int64_t(lead.position) - 100000;
        r.windowEnd = int64_t(lead.position) + 100000;
        for (const Marker& m : markers)
            if (m.chrom == lead.chrom && m.position >= r.windowStart && m.position <= r.windowEnd) {
                r.positions.push_back(m.position);
                r.values.push_back(m.value);
            }
        r.leadPosition = lead.position;
        r.leadId = lead.id;
        r.leadValue = lead.value;
        r.status = lead.status;
        t.regionalSvgs[{lead.chrom, lead.position}] = regionalSvg(r).toStdString();
    }
    return t;
}
