// PLINK 1.9 as the reference of the LD tests.
#include "ld_reference.h"

#include "test_support.h"

#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

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
    std::ofstream bim(prefix + ".bim"), fam(prefix + ".fam");
    for (uint32_t v : variants) {
        const PanelVariant& pv = set.variants[v];
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
