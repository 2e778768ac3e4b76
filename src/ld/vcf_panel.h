// A VCF or BCF file (.vcf, .vcf.gz, .bcf) as an LD reference panel, read
// with htslib: its samples and the GT definition checked when it is opened;
// its records streamed for a table, only around the candidates' positions
// where a tabix or CSI index exists, each record's GT turned into PLINK's
// packed 2-bit codes only when a candidate takes it.
#pragma once
#include "ld/genotype_planes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class ThreadPool;

struct VcfPanel {
    std::string path;
    std::vector<std::string> indexFiles; // .tbi / .csi beside it, when present
};

// Whether a panel path names a VCF or BCF file by its ending.
bool isVcfPath(const std::string& path);

// Reads the header: the sample names, and a GT format field must be
// defined. False with the reason in why.
bool openVcfPanel(const std::string& path, VcfPanel& vcf, std::vector<std::string>& sampleIds, std::string& why);

// One biallelic record as offered to the matching: allele1 is ALT and
// allele2 REF, so genotype codes count REF copies as a .bed counts A2.
struct VcfRecord {
    std::string_view chromosome, id, allele1, allele2;
    int32_t position = 0;
    uint64_t ordinal = 0; // the record's number in the order read
};

// The positions a table needs on one chromosome (its name in the table),
// sorted.
struct VcfWanted {
    std::string chromosome;
    std::vector<int32_t> positions;
};

struct VcfReadResult {
    uint64_t multiAllelic = 0; // records skipped: more than one ALT allele
    // The slot in the planes of each record offer() took, by ordinal.
    std::vector<std::pair<uint64_t, uint32_t>> slots;
};

// Streams the records of the chromosomes in wanted (with an index: only
// the records around the positions; without: every record), offers each
// biallelic one, and adds the genotypes of those offer() takes over the
// chosen samples to planes. False with the reason in why for a file htslib
// cannot read. With a pool, the blocks of a file read through its .tbi are
// inflated on its threads.
bool readVcfPanel(const VcfPanel& vcf, const std::vector<VcfWanted>& wanted,
                  const std::function<bool(const VcfRecord&)>& offer, const std::vector<uint32_t>& chosen,
                  GenotypePlanes& planes, VcfReadResult& result, std::string& why, ThreadPool* pool = nullptr);
