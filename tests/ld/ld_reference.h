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
// path compressed with BGZF into path + ".gz", with a tabix index (csi: a
// CSI index instead).
void bgzipWithIndex(const std::string& path, bool csi = false);
// The VCF at vcfPath as BCF at bcfPath, with a CSI index.
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
LociCandidates candidatesOf(const std::vector<TableRow>& rows, double keep);

// Clumps rows against the panel at prefix (with samples, "" for all) as
// the run does.
LdLoci clumpRows(const std::string& prefix, const std::string& samples, const std::vector<TableRow>& rows,
                 const LdSettings& s, LociCandidates& candidates);
