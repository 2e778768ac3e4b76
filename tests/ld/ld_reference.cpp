// PLINK 1.9 as the reference of the LD tests.
#include "ld_reference.h"

#include "test_support.h"

#include <QProcess>
#include <algorithm>
#include <htslib/bgzf.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>
#include <QStandardPaths>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <zlib.h>

std::string sharedPanel() { return std::string(QUORLIN_SHARED) + "/data/ld/exercise_chr10"; }

bool sharedPanelPresent()
{
    struct stat st {};
    return stat((sharedPanel() + ".bed").c_str(), &st) == 0;
}

std::string plinkProgram() { return QStandardPaths::findExecutable("plink1.9").toStdString(); }

int runPlink(const std::vector<std::string>& args, const std::string& dir)
{
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(dir));
    QStringList list;
    for (const std::string& a : args)
        list << QString::fromStdString(a);
    p.start(QString::fromStdString(plinkProgram()), list);
    if (!p.waitForFinished(120000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void writeFileset(const PlinkFileset& set, const std::vector<uint32_t>& variants,
                  const std::vector<uint32_t>& samples, double missing, std::mt19937_64& random,
                  const std::string& prefix)
{
    std::vector<PanelVariant> all;
    std::string why;
    EXPECT_TRUE(readPanelVariants(set.bimPath, all, why)) << why;
    std::ofstream bim(prefix + ".bim"), fam(prefix + ".fam");
    for (uint32_t v : variants) {
        const PanelVariant& pv = all.at(v);
        bim << pv.chromosome << '\t' << pv.id << "\t0\t" << pv.position << '\t' << pv.allele1 << '\t' << pv.allele2
            << '\n';
    }
    for (uint32_t s : samples)
        fam << set.familyIds[s] << ' ' << set.sampleIds[s] << " 0 0 0 -9\n";
    std::ifstream in(set.bedPath, std::ios::binary);
    std::ofstream bed(prefix + ".bed", std::ios::binary);
    bed.write("\x6c\x1b\x01", 3);
    std::vector<char> row(set.bytesPerVariant);
    std::bernoulli_distribution drop(missing);
    for (uint32_t v : variants) {
        in.seekg(static_cast<std::streamoff>(3 + set.bytesPerVariant * v));
        in.read(row.data(), static_cast<std::streamsize>(row.size()));
        std::vector<char> out((samples.size() + 3) / 4, 0);
        for (size_t k = 0; k < samples.size(); ++k) {
            const uint32_t s = samples[k];
            unsigned code = (static_cast<unsigned char>(row[s / 4]) >> (2 * (s % 4))) & 3u;
            if (missing > 0 && drop(random))
                code = 1;
            out[k / 4] = static_cast<char>(out[k / 4] | static_cast<char>(code << (2 * (k % 4))));
        }
        bed.write(out.data(), static_cast<std::streamsize>(out.size()));
    }
}

void writeVcfFromFileset(const std::string& prefix, const std::string& path, const std::string& contigPrefix,
                         bool varied)
{
    PlinkFileset set;
    std::vector<PanelVariant> variants;
    std::string why;
    ASSERT_TRUE(openPlinkFileset(prefix, set, why)) << why;
    ASSERT_TRUE(readPanelVariants(set.bimPath, variants, why)) << why;
    std::ofstream out(path);
    out << "##fileformat=VCFv4.2\n";
    std::vector<std::string> contigs;
    for (const PanelVariant& v : variants)
        if (std::find(contigs.begin(), contigs.end(), v.chromosome) == contigs.end())
            contigs.push_back(v.chromosome);
    for (const std::string& c : contigs)
        out << "##contig=<ID=" << contigPrefix << c << ">\n";
    out << "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
           "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">\n"
           "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (size_t s = 0; s < set.sampleIds.size(); ++s)
        out << '\t' << set.familyIds[s] << '_' << set.sampleIds[s];
    out << '\n';
    std::ifstream bed(set.bedPath, std::ios::binary);
    std::vector<char> row(set.bytesPerVariant);
    bed.seekg(3);
    static const char* const kPlain[4] = {"1/1", "./.", "0/1", "0/0"};
    static const char* const kPhased[4] = {"1|1", ".", "1|0", "0|0"};
    for (size_t v = 0; v < variants.size(); ++v) {
        bed.read(row.data(), static_cast<std::streamsize>(row.size()));
        const int style = varied ? static_cast<int>(v % 3) : 0;
        const PanelVariant& pv = variants[v];
        out << contigPrefix << pv.chromosome << '\t' << pv.position << '\t' << pv.id << '\t' << pv.allele2 << '\t'
            << pv.allele1 << "\t.\tPASS\t.\t" << (style == 0 ? "GT" : style == 1 ? "GT:DP" : "DP:GT");
        for (size_t s = 0; s < set.sampleIds.size(); ++s) {
            const unsigned code = (static_cast<unsigned char>(row[s / 4]) >> (2 * (s % 4))) & 3u;
            out << '\t';
            if (style == 2)
                out << "7:";
            out << (style == 0 ? kPlain : kPhased)[code];
            if (style == 1)
                out << ":7";
        }
        out << '\n';
    }
}

void writeBgzf(const std::string& path, const std::string& text)
{
    BGZF* out = bgzf_open(path.c_str(), "w");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(bgzf_write(out, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ASSERT_EQ(bgzf_close(out), 0);
}

void bgzipWithIndex(const std::string& path, bool csi)
{
    writeBgzf(path + ".gz", readFile(path));
    ASSERT_EQ(tbx_index_build((path + ".gz").c_str(), csi ? 14 : 0, &tbx_conf_vcf), 0);
}

void writeBcf(const std::string& vcfPath, const std::string& bcfPath)
{
    htsFile* in = hts_open(vcfPath.c_str(), "r");
    ASSERT_NE(in, nullptr);
    bcf_hdr_t* header = bcf_hdr_read(in);
    htsFile* out = hts_open(bcfPath.c_str(), "wb");
    ASSERT_TRUE(header && out);
    ASSERT_EQ(bcf_hdr_write(out, header), 0);
    bcf1_t* rec = bcf_init();
    while (bcf_read(in, header, rec) == 0)
        ASSERT_EQ(bcf_write(out, header, rec), 0);
    bcf_destroy(rec);
    bcf_hdr_destroy(header);
    hts_close(in);
    ASSERT_EQ(hts_close(out), 0);
}

void bcfWithIndex(const std::string& vcfPath, const std::string& bcfPath)
{
    writeBcf(vcfPath, bcfPath);
    ASSERT_EQ(bcf_index_build(bcfPath.c_str(), 14), 0);
}

std::vector<PlinkClump> readVerboseClumps(const std::string& path)
{
    std::vector<PlinkClump> clumps;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string t; words >> t;)
            w.push_back(t);
        if (w.size() == 11 && w[0] != "CHR")
            clumps.push_back({w[2], {}});
        else if (w.size() == 6 && w[0] != "KB" && w[0] != "(INDEX)" && !clumps.empty())
            clumps.back().members[w[0]] = std::atof(w[2].c_str());
    }
    return clumps;
}

std::vector<TableRow> sharedAssociationRows()
{
    std::vector<TableRow> rows;
    gzFile in = gzopen((std::string(QUORLIN_SHARED) + "/data/ld/exercise_qt.qassoc.gz").c_str(), "rb");
    if (!in)
        return rows;
    std::string all;
    char buffer[1 << 16];
    for (int n; (n = gzread(in, buffer, sizeof buffer)) > 0;)
        all.append(buffer, static_cast<size_t>(n));
    gzclose(in);
    std::istringstream lines(all);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream w(line);
        std::string chr, id, bp, nmiss, beta, se, r2, t, p;
        if (w >> chr >> id >> bp >> nmiss >> beta >> se >> r2 >> t >> p && p != "NA")
            rows.push_back({chr, id, std::atoi(bp.c_str()), p});
    }
    return rows;
}

LociCandidates candidatesOf(const std::vector<TableRow>& rows, double keep)
{
    LociCandidates c;
    for (const TableRow& r : rows) {
        const double p = std::strtod(r.p.c_str(), nullptr);
        if (!(p <= keep))
            continue;
        uint32_t chromosome = 0;
        while (chromosome < c.chromosomes.size() && c.chromosomes[chromosome] != r.chromosome)
            ++chromosome;
        if (chromosome == c.chromosomes.size())
            c.chromosomes.push_back(r.chromosome);
        c.candidates.push_back({r.position, chromosome, p, c.text.size()});
        c.text += r.id;
    }
    return c;
}

LdLoci clumpRows(const std::string& prefix, const std::string& samples, const std::vector<TableRow>& rows,
                 const LdSettings& s, LociCandidates& candidates)
{
    LdPanel panel;
    std::string why, warnings;
    EXPECT_TRUE(openLdPanel(prefix, samples, panel, why, warnings)) << why;
    candidates = candidatesOf(rows, std::max(s.p, s.p2));
    PanelMatch match;
    EXPECT_TRUE(matchCandidates(candidates, panel, -1, -1, match, why)) << why;
    return clumpByLd(candidates, match.slot, match.planes, s);
}
