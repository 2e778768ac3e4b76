// Helpers of the LD tests: running PLINK 1.9, writing small PLINK filesets
// cut from the shared panel and VCF/BCF copies of them, and reading
// PLINK's --clump-verbose report.
#pragma once
#include "ld/ld_clump.h"
#include "ld/ld_panel.h"

#include <map>
#include <random>
#include <string>
#include <vector>

// The shared panel's prefix (../shared/data/ld/exercise_chr10).
std::string sharedPanel();
bool sharedPanelPresent();
// Skips the test, with the message the real-data tests give, where the
// shared panel is absent; the second also where plink1.9 is not installed.
#define SKIP_WITHOUT_PANEL() \
    do { \
        if (!sharedPanelPresent()) \
            GTEST_SKIP() << "real data absent: the shared LD panel " << sharedPanel() << ".bed"; \
    } while (0)
#define SKIP_WITHOUT_PLINK_OR_PANEL() \
    do { \
        SKIP_WITHOUT_PANEL(); \
        if (plinkProgram().empty()) \
            GTEST_SKIP() << "plink1.9 is not installed"; \
    } while (0)

// The plink1.9 program, or "" when it is not installed.
std::string plinkProgram();
// Runs plink1.9 with args in dir; its exit status (-1 when it did not run).
int runPlink(const std::vector<std::string>& args, const std::string& dir);

// Writes prefix.bed/.bim/.fam holding the given variants and samples of
// set (indices in its order); each genotype turns missing with chance
// missing.
void writeFileset(const PlinkFileset& set, const std::vector<uint32_t>& variants,
                  const std::vector<uint32_t>& samples, double missing, std::mt19937_64& random,
                  const std::string& prefix);

// Writes the fileset at prefix as a text VCF at path: samples FID_IID,
// REF the .bim's allele 2, ALT its allele 1, contig names with
// contigPrefix before them. varied writes every third record phased with a
// DP key after GT, every third with DP before GT and missing as ".".
void writeVcfFromFileset(const std::string& prefix, const std::string& path, const std::string& contigPrefix,
                         bool varied);
// text compressed with BGZF into path.
void writeBgzf(const std::string& path, const std::string& text);
// path compressed with BGZF into path + ".gz", with a tabix index (csi: a
// CSI index instead).
void bgzipWithIndex(const std::string& path, bool csi = false);
// The VCF at vcfPath as BCF at bcfPath through htslib's own parser; with
// a CSI index.
void writeBcf(const std::string& vcfPath, const std::string& bcfPath);
void bcfWithIndex(const std::string& vcfPath, const std::string& bcfPath);

// One clump of PLINK's --clump-verbose report: the index id and the
// members' ids with their RSQ.
struct PlinkClump {
    std::string index;
    std::map<std::string, double> members;
};
std::vector<PlinkClump> readVerboseClumps(const std::string& path);

// A table's rows (chromosome, id, position, p as text) as loci candidates
// with p <= keep, the id as each one's text.
struct TableRow {
    std::string chromosome, id;
    int32_t position;
    std::string p;
};
// The shared association table (../shared/data/ld/exercise_qt.qassoc.gz)
// without its NA rows; empty when it is absent.
std::vector<TableRow> sharedAssociationRows();
LociCandidates candidatesOf(const std::vector<TableRow>& rows, double keep);

// Clumps rows against the panel at prefix (with samples, "" for all) as
// the run does.
LdLoci clumpRows(const std::string& prefix, const std::string& samples, const std::vector<TableRow>& rows,
                 const LdSettings& s, LociCandidates& candidates);
