// An LD reference panel as the run opens it before any output: one PLINK
// fileset or VCF/BCF file, or one per chromosome when the path holds
// "{chrom}", each with its chosen samples; and the genotypes of the
// variants one table needs.
#pragma once
#include "ld/genotype_planes.h"
#include "io/loci_candidates.h"
#include "ld/plink_fileset.h"
#include "ld/vcf_panel.h"

#include <string>
#include <vector>

class ThreadPool;

struct PanelPart {
    std::string key; // per-chromosome panels: the chromosome's key (chr dropped, M as MT); else ""
    bool vcf = false;  // a VCF/BCF file: vcfFile; else the PLINK fileset set
    PlinkFileset set;  // for a VCF only its sampleIds (the header's names)
    VcfPanel vcfFile;
    std::vector<uint32_t> chosen; // the samples used, as indices into set.sampleIds
};

struct LdPanel {
    std::string name; // as -loci-ld gives it, "{chrom}" included
    bool perChromosome = false;
    std::vector<PanelPart> parts;
};

// Opens the panel named by panelName with the samples of samplesFile (every
// sample when empty). warnings gets lines for standard error (unknown
// sample ids). False with the reason in why.
bool openLdPanel(const std::string& panelName, const std::string& samplesFile, LdPanel& panel, std::string& why,
                 std::string& warnings);

// Every file of an opened panel (.bed, .bim, .fam of each part; a VCF and
// its index), for the run's input/output path check.
std::vector<std::string> ldPanelFiles(const LdPanel& panel);

// The files of the panel named by panelName without opening it: for "{chrom}"
// the per-chromosome files that exist under the usual chromosome names.
std::vector<std::string> ldPanelFiles(const std::string& panelName);

// Where a table's candidates sit in the panel: per candidate, the part and
// the variant in it (part -1: absent); and the variants' genotypes.
struct PanelMatch {
    std::vector<int32_t> part;
    std::vector<uint64_t> variant; // .bim line, or VCF record in the order read
    std::vector<int32_t> slot; // into planes; -1 for absent candidates
    GenotypePlanes planes{0};
    uint64_t byId = 0, byIdElsewhere = 0; // id matches, and those at another position
    uint64_t multiAllelic = 0;            // VCF records skipped
    std::vector<std::string> elsewhereExamples; // the first three, "id table CHR:POS panel CHR:POS"
    std::vector<std::pair<size_t, std::string>> elsewhere; // while matching: candidate, panel "CHR:POS"
};

// Matches each candidate by id, else by chromosome (names compared as the
// gene annotation compares them) and position; among several panel
// variants at one position, the one whose two alleles are the carried
// fields effectField and otherField (in either order; -1: no allele
// columns), else the first. The .bim of each part is streamed once, a VCF
// read around the candidates' positions (see vcf_panel.h); then the matched
// variants' genotypes are read. False with the reason in why when a panel
// file cannot be read.
// With a pool, the .bim is read in parts on its threads; the match is the
// same.
bool matchCandidates(const LociCandidates& candidates, const LdPanel& panel, int effectField, int otherField,
                     PanelMatch& match, std::string& why, ThreadPool* pool = nullptr);
