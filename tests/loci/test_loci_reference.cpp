// The loci file held to a plain reference of its rules, written here from the
// rules alone: the table text split by hand, candidates clumped by scanning
// every chosen lead, peaks matched with every locus. Compared on generated
// tables full of edge cases and on every real table of the shared data; and
// one table worked through by hand.
#include "io/column_plan.h"
#include "loci/loci_text.h"
#include "io/table_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

struct Layout {
    std::string delim = "\t";
    int chrom = 1, pos = 2, p = 3, id = 0; // 1-based; id 0: none
    std::vector<int> carried;
    bool log10 = false;
    double threshold = 5e-8;
    int64_t window = 500000;
};

std::vector<std::string> split(const std::string& line, const std::string& delim)
{
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t at; (at = line.find(delim, from)) != std::string::npos; from = at + delim.size())
        out.push_back(line.substr(from, at - from));
    out.push_back(line.substr(from));
    return out;
}

// A whole 32-bit number, and a number (too small for a double: the smallest).
bool wholeNumber(const std::string& s, long& v)
{
    const size_t k = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (k == s.size() || s.size() - k > 10 || s.find_first_not_of("0123456789", k) != std::string::npos)
        return false;
    v = std::stol(s);
    return v >= INT32_MIN && v <= INT32_MAX;
}

bool number(const std::string& s, double& v)
{
    char* end = nullptr;
    errno = 0;
    v = std::strtod(s.c_str(), &end);
    if (v == 0 && errno == ERANGE)
        v = std::copysign(std::numeric_limits<double>::denorm_min(), s[0] == '-' ? -1.0 : 1.0);
    return !s.empty() && *end == '\0' && s.find_first_of("xXpP") == std::string::npos;
}

// -log10(p) of a number's text by the rules: a p written as zero is the
// smallest positive double; a p below the normal range takes its -log10 from
// the text, here through a long double, whose range holds it.
double strength(const std::string& s, double v, bool log10)
{
    if (log10)
        return 0.0 + v; // p = 1 gives 0, not -0
    if (v == 0)
        return -std::log10(std::numeric_limits<double>::denorm_min());
    if (v > 0 && v < std::numeric_limits<double>::min())
        return static_cast<double>(-std::log10(std::strtold(s.c_str(), nullptr)));
    return 0.0 - std::log10(v);
}

std::string g(double x)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", x);
    return text;
}

std::pair<long, long> range(const ReportedPeak& p)
{
    return std::minmax<long>(p.features.firstPosition, p.features.lastPosition);
}

// The loci file the rules give for this table text (one header line) and
// these peaks.
std::string referenceLoci(const std::string& text, const Layout& L, const std::vector<ReportedPeak>& peaks)
{
    struct Row {
        long pos;
        double strength;
        std::string id, carried;
    };
    std::vector<std::string> chroms;              // in order of first appearance
    std::map<std::string, std::vector<Row>> rows; // candidates, in input order
    std::string plain = text;                     // carriage returns are dropped wherever they are
    plain.erase(std::remove(plain.begin(), plain.end(), '\r'), plain.end());
    const std::vector<std::string> lines = split(plain, "\n");
    std::string out = "chrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tmarkers\tstatus\tpeaks\t"
                      "peak_ranges\tbest_gqs";
    for (int col : L.carried)
        out += "\t" + split(lines[0], L.delim)[static_cast<size_t>(col) - 1];
    out += "\n";
    for (size_t k = 1; k < lines.size(); ++k) {
        const std::vector<std::string> f = split(lines[k], L.delim);
        if (lines[k].empty() || static_cast<int>(f.size()) < std::max({L.chrom, L.pos, L.p, L.id}) ||
            f[L.pos - 1] == "NA" || f[L.p - 1] == "NA")
            continue;
        const std::string& c = f[L.chrom - 1];
        if (std::find(chroms.begin(), chroms.end(), c) == chroms.end())
            chroms.push_back(c);
        long pos;
        double v;
        if (!wholeNumber(f[L.pos - 1], pos) || !number(f[L.p - 1], v) ||
            (L.log10 ? !(v >= -std::log10(L.threshold)) : !(v >= 0 && v <= L.threshold)))
            continue;
        Row r{pos, strength(f[L.p - 1], v, L.log10), L.id ? f[L.id - 1] : "", ""};
        for (int col : L.carried)
            r.carried += "\t" + (col <= static_cast<int>(f.size()) ? f[col - 1] : std::string("NA"));
        rows[c].push_back(r);
    }
    for (const std::string& c : chroms) {
        std::vector<Row>& rs = rows[c];
        std::stable_sort(rs.begin(), rs.end(), [](const Row& a, const Row& b) { return a.strength > b.strength; });
        struct Locus {
            const Row* lead;
            long start, end, markers;
        };
        std::vector<Locus> loci; // in the order chosen
        for (const Row& r : rs) {
            auto join = std::find_if(loci.begin(), loci.end(),
                                     [&](const Locus& l) { return std::labs(l.lead->pos - r.pos) <= L.window; });
            if (join == loci.end()) {
                loci.push_back({&r, r.pos, r.pos, 1});
                continue;
            }
            join->start = std::min(join->start, r.pos);
            join->end = std::max(join->end, r.pos);
            ++join->markers;
        }
        std::sort(loci.begin(), loci.end(), [](const Locus& a, const Locus& b) {
            return a.start != b.start ? a.start < b.start : a.lead->pos < b.lead->pos;
        });
        auto meets = [&](const ReportedPeak& p, const Locus& l) {
            return p.chromosome == c && std::max(range(p).first, l.start) <= std::min(range(p).second, l.end);
        };
        for (const Locus& l : loci) {
            std::vector<const ReportedPeak*> hit;
            for (const ReportedPeak& p : peaks)
                if (meets(p, l))
                    hit.push_back(&p);
            std::stable_sort(hit.begin(), hit.end(), [](auto* a, auto* b) { return range(*a) < range(*b); });
            int others = 0;
            for (const Locus& m : loci)
                others += hit.size() == 1 && &m != &l && meets(*hit[0], m);
            std::string ranges;
            double top = -1;
            for (const ReportedPeak* p : hit) {
                ranges += (ranges.empty() ? "" : ",") + std::to_string(p->features.firstPosition) + "-" +
                          std::to_string(p->features.lastPosition);
                top = std::max(top, p->features.quality);
            }
            const std::string id = l.lead->id.empty() ? c + ":" + std::to_string(l.lead->pos) : l.lead->id;
            out += c + "\t" + std::to_string(l.start) + "\t" + std::to_string(l.end) + "\t" + id + "\t" +
                   std::to_string(l.lead->pos) + "\t" + g(l.lead->strength) + "\t" + std::to_string(l.markers) + "\t" +
                   (hit.empty() ? "no_peak" : hit.size() > 1 ? "split" : others ? "merged" : "peak") + "\t" +
                   std::to_string(hit.size()) + "\t" + (hit.empty() ? "." : ranges) + "\t" +
                   (hit.empty() ? "NA" : g(top)) + l.lead->carried + "\n";
        }
    }
    return out;
}

// The carried columns' names as the run's column plan gives them.
std::vector<std::string> carriedNames(const Layout& L, const std::string& headerLine, const FieldSeparator& sep)
{
    const auto column = [](int number) {
        ColumnChoice c;
        c.number = number;
        c.text = std::to_string(number);
        return c;
    };
    ColumnRequest request;
    request.position = column(L.pos);
    request.pvalue = column(L.p);
    request.chromosome = column(L.chrom);
    if (L.id > 0)
        request.id = column(L.id);
    CarryRequest carry;
    carry.none = L.carried.empty();
    for (int number : L.carried)
        carry.columns.push_back(column(number));
    request.carry = carry;
    const ColumnPlanResult r = planColumns(request, &headerLine, sep);
    EXPECT_TRUE(r.ok) << r.error.stderrLine;
    return r.plan.carriedNames;
}

// The loci file of the production path: the reader, findLoci,
// crossReference, lociFileText.
std::string productionLoci(const std::string& path, const std::string& headerLine, const Layout& L,
                           const std::vector<ReportedPeak>& peaks)
{
    TableLayout layout;
    layout.separator = separatorForWord(L.delim == "\t" ? "tab" : L.delim == " " ? "space" : L.delim);
    layout.chromosomeColumn = L.chrom, layout.positionColumn = L.pos, layout.pvalueColumn = L.p;
    layout.idColumn = L.id;
    layout.carriedColumns = L.carried;
    layout.log10Values = L.log10;
    layout.lociThreshold = L.threshold;
    layout.headerLines = 1;
    TableReading notes;
    EXPECT_TRUE(readTable(openInput(path), layout, 0.001, [](ChromosomeBatch&) {}, notes)) << path;
    LociResult loci = findLoci(notes.candidates, L.window);
    crossReference(loci, notes.candidates, peaks);
    return lociFileText(loci, notes.candidates, peaks, carriedNames(L, headerLine, layout.separator));
}

ReportedPeak peak(const std::string& chromosome, long first, long last, double gqs)
{
    ReportedPeak p;
    p.chromosome = chromosome;
    p.features.firstPosition = static_cast<int32_t>(first);
    p.features.lastPosition = static_cast<int32_t>(last);
    p.features.quality = gqs;
    return p;
}

} // namespace

TEST(GenomeWideLoci, GeneratedTablesMatchTheReference)
{
    std::mt19937 rng(19);
    auto pick = [&](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
    };
    auto uniform = [&](long a, long b) { return std::uniform_int_distribution<long>(a, b)(rng); };
    const std::vector<std::string> pvalues = {"0", "1e-9", "1e-9", "5e-8", "5.0000001e-08", "3e-12", "1e-400", "0.5",
                                              "-0", "-1e-9", "nan", "abc", "NA", "2", "1", "1e-3", "7e-4"};
    const std::vector<std::string> log10s = {"0", "-0", "8", "8", "7.30103", "7.3010299956639813", "20", "inf", "-1",
                                             "nan", "x", "NA", "3", "2.9"};
    const int64_t windows[] = {0, 1, 7, 50, 300, 5000, 500000};
    const double thresholds[] = {5e-8, 1e-3, 1};
    const std::string header = "chr\tpos\tp\tid\tbeta", path = makeTempDir() + "/t.tsv";
    for (int t = 0; t < 3000; ++t) {
        Layout L;
        L.log10 = t % 4 == 3;
        L.window = windows[t % 7];
        L.threshold = thresholds[(t / 7) % 3];
        L.id = t % 3 ? 4 : 0;
        if (t % 2)
            L.carried = {5, 2, 5};
        const long span = t % 5 == 0 ? 20 : 2000; // narrow spans give equal positions
        // Rows of the chromosomes mixed, or (half the tables) one
        // chromosome after another, as sorted tables come.
        std::vector<std::string> rows;
        for (long r = uniform(0, 60); r > 0; --r) {
            const long kind = uniform(0, 19);
            rows.push_back(pick({"1", "2", "X"}) + "\t" +
                           (kind == 0 ? pick({"NA", "1.5", "x", "-40", "2147483648", ""})
                                      : std::to_string(uniform(0, span))) +
                           "\t" + pick(L.log10 ? log10s : pvalues) + (kind == 1 ? "" : "\trs" + std::to_string(r)) +
                           (kind < 4 ? "" : "\tb" + std::to_string(r)) + "\n"); // without id: short; without beta: not
        }
        if ((t / 5) % 2 == 0)
            std::stable_sort(rows.begin(), rows.end(),
                             [](const std::string& a, const std::string& b) { return a[0] < b[0]; });
        std::string text = header + "\n";
        for (const std::string& row : rows)
            text += row;
        std::vector<ReportedPeak> peaks;
        for (long k = uniform(0, 4); k > 0; --k) {
            const std::string chromosome = pick({"1", "2", "Y"});
            const long first = uniform(0, span), last = first + uniform(-100, 300);
            peaks.push_back(peak(chromosome, first, last, static_cast<double>(uniform(4, 20)) / 4));
        }
        writeFile(path, text);
        ASSERT_EQ(firstDifference(referenceLoci(text, L, peaks), productionLoci(path, header, L, peaks)), "")
            << "table " << t << ":\n" << text;
    }
}

// A table worked through by hand: one locus of each status, a peak written
// backwards, p = 0 (the smallest positive double), a carried field holding a
// tab and one the row lacks.
TEST(GenomeWideLoci, EveryStatusWorkedByHand)
{
    const std::string header = "chr,pos,p,id,beta", path = makeTempDir() + "/t.csv";
    writeFile(path, header + "\n1,1000,1e-10,rsA,0.1\n1,1050,1e-9,rsB,0.2\n1,1300,1e-12,rsC,0.3\t!\n1,1390,1e-9,rsD\n"
                             "2,500,0,rsE,0.5\n2,5000,1e-8,rsF,0.6\n1,9000,2e-8,rsG,0.7\n1,9000,1e-7,rsH,0.8\n");
    // C (1:1300) is chosen first, then A 300 bp away; B and D join the lead
    // within 100 bp. One peak meets A and C, a backwards one meets C.
    const std::vector<ReportedPeak> peaks = {peak("1", 1040, 1350, 3), peak("1", 1400, 1380, 4.5),
                                             peak("2", 400, 600, 2), peak("3", 0, 10000, 5)};
    EXPECT_EQ(productionLoci(path, header, Layout{",", 1, 2, 3, 4, {5}, false, 5e-8, 100}, peaks),
              "chrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tmarkers\tstatus\tpeaks\tpeak_ranges\t"
              "best_gqs\tbeta\n"
              "1\t1000\t1050\trsA\t1000\t10\t2\tmerged\t1\t1040-1350\t3\t0.1\n"
              "1\t1300\t1390\trsC\t1300\t12\t2\tsplit\t2\t1040-1350,1400-1380\t4.5\t0.3 !\n"
              "1\t9000\t9000\trsG\t9000\t7.69897\t1\tno_peak\t0\t.\tNA\t0.7\n"
              "2\t500\t500\trsE\t500\t323.306\t1\tpeak\t1\t400-600\t2\t0.5\n"
              "2\t5000\t5000\trsF\t5000\t8\t1\tno_peak\t0\t.\tNA\t0.6\n");
}

// Every association table the shared data describes, with the peaks the
// tool reports for it. Through the command line, the loci options (and two
// threads) leave the report as it is and write the same loci and BED files,
// every row with 0 <= p <= 5e-8 lies in a locus of its chromosome, and each
// BED lead is an input row as strong as its report row's max. A table
// described but missing fails.
TEST(GenomeWideLoci, RealTablesMatchTheReference)
{
    QUORLIN_NEEDS_REAL_DATA();
    const fs::path real = QUORLIN_REAL_DATA;
    std::vector<std::pair<std::string, Layout>> tables; // from SOURCES.md
    for (const std::string& line : split(readFile((real / "SOURCES.md").string()), "\n")) {
        if (line.rfind("### ", 0) == 0)
            tables.push_back({line.substr(4), Layout{"\t", 0, 0, 0, 0, {}, false, 5e-8, 500000}});
        else if (!tables.empty() && line.rfind("- Format: delimiter `space`", 0) == 0)
            tables.back().second.delim = " ";
        else if (!tables.empty())
            std::sscanf(line.c_str(), "- Columns: chromosome = %d, position = %d, p-value = %d",
                        &tables.back().second.chrom, &tables.back().second.pos, &tables.back().second.p);
    }
    tables.erase(std::remove_if(tables.begin(), tables.end(), [](const auto& t) { return t.second.p == 0; }),
                 tables.end());
    ASSERT_GE(tables.size(), 29u) << "the real tables' descriptions are missing in " << real;
    int significant = 0;
    for (auto& [file, L] : tables) {
        SCOPED_TRACE(file);
        const fs::path table = real / file;
        ASSERT_TRUE(fs::exists(table)) << "real table missing: " << table;
        const std::string work = makeTempDir();
        const std::vector<std::string> args = {"-file", table.string(), "-chrcolumn", std::to_string(L.chrom),
                                               "-lcolumn", std::to_string(L.pos), "-pcolumn", std::to_string(L.p),
                                               "-header", "yes", "-delim", L.delim == " " ? "space" : "tab"};
        const RunResult r = runQuorlin(with(args, {"-out", "r.out"}), work);
        if (r.out.find("No usable rows in input file") != std::string::npos)
            continue; // every position is text such as 909,309: no row is a marker, nor a candidate
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<ReportedPeak> peaks; // chromosome, range and GQS of every report row
        const std::vector<std::string> rows = split(readFile(work + "/r.out"), "\n");
        for (size_t k = 1; k + 1 < rows.size(); ++k) {
            const std::vector<std::string> f = tabFields(rows[k]);
            const size_t dash = f[2].find('-', 1);
            peaks.push_back(
                peak(f[1], std::stol(f[2].substr(0, dash)), std::stol(f[2].substr(dash + 1)), std::stod(f[19])));
        }
        std::string text;
        gzFile in = gzopen(table.string().c_str(), "rb"); // plain files read as they are
        char buf[1 << 16];
        for (int n; in && (n = gzread(in, buf, sizeof buf)) > 0;)
            text.append(buf, static_cast<size_t>(n));
        gzclose(in);
        L.carried = {1};
        const std::string got = productionLoci(table.string(), split(text, "\n")[0], L, peaks);
        EXPECT_EQ(firstDifference(referenceLoci(text, L, peaks), got), "");
        for (const char* threads : {"1", "2"}) {
            ASSERT_EQ(runQuorlin(with(args, {"-carry", std::to_string(L.chrom), "-loci-p", "1e-6", "-loci-window",
                                             "250000", "-out", "l.out", "-loci", std::string("l") + threads,
                                             "-threads", threads, "-bed", std::string("b") + threads}),
                                 work)
                          .status,
                      0);
            EXPECT_EQ(firstDifference(readFile(work + "/r.out"), readFile(work + "/l.out")), "") << threads;
        }
        EXPECT_EQ(firstDifference(readFile(work + "/l1"), readFile(work + "/l2")), "");
        EXPECT_EQ(firstDifference(readFile(work + "/b1"), readFile(work + "/b2")), "");
        std::map<std::string, std::vector<std::pair<long, long>>> lociOf;
        for (const std::string& line : split(readFile(work + "/l1"), "\n")) {
            const std::vector<std::string> f = tabFields(line);
            if (f.size() > 2 && f[0] != "chrom")
                lociOf[f[0]].push_back({std::stol(f[1]), std::stol(f[2])});
        }
        std::set<std::string> strengths; // "chrom pos -log10(p)" of every input row
        for (const std::string& line : split(text.substr(text.find('\n') + 1), "\n")) {
            const std::vector<std::string> f = split(line, L.delim);
            long pos;
            double p;
            if (static_cast<int>(f.size()) < std::max({L.chrom, L.pos, L.p}) || f[L.pos - 1] == "NA" ||
                f[L.p - 1] == "NA" || !wholeNumber(f[L.pos - 1], pos) || !number(f[L.p - 1], p))
                continue;
            strengths.insert(f[L.chrom - 1] + " " + std::to_string(pos) + " " + g(strength(f[L.p - 1], p, false)));
            if (!(p >= 0 && p <= 5e-8))
                continue;
            ++significant;
            bool inside = false;
            for (const auto& [from, to] : lociOf[f[L.chrom - 1]])
                inside = inside || (from <= pos && pos <= to);
            EXPECT_TRUE(inside) << f[L.chrom - 1] << ":" << pos << " with p = " << f[L.p - 1] << " lies in no locus";
        }
        // One BED line per report row, its lead an input row as strong as the peak's max.
        std::set<std::string> maxima; // "chrom first last max" of every report row
        for (size_t k = 1; k + 1 < rows.size(); ++k) {
            const std::vector<std::string> f = tabFields(rows[k]);
            const auto [lo, hi] = range(peak(f[1], std::stol(f[2].substr(0, f[2].find('-', 1))),
                                             std::stol(f[2].substr(f[2].find('-', 1) + 1)), 0));
            maxima.insert(f[1] + " " + std::to_string(lo) + " " + std::to_string(hi) + " " + f[3]);
        }
        const std::vector<std::string> bed = split(readFile(work + "/b1"), "\n");
        EXPECT_EQ(bed.size(), rows.size()); // a comment line for the header
        for (size_t k = 1; k + 1 < bed.size(); ++k) {
            const std::vector<std::string> b = tabFields(bed[k]);
            EXPECT_TRUE(strengths.count(b[0] + " " + b[6] + " " + b[7])) << bed[k];
            EXPECT_TRUE(maxima.count(b[0] + " " + std::to_string(std::stol(b[1]) + 1) + " " + b[2] + " " + b[7]) ||
                        maxima.count(b[0] + " " + b[1] + " " + b[2] + " " + b[7]))
                << bed[k];
        }
    }
    EXPECT_GT(significant, 10000) << "too few significant rows to check";
}
