// Genotypes of VCF records as PLINK's packed 2-bit codes (.bed layout, 4
// samples a byte, low bits first), counting ALT as the .bed's allele 1:
// 2 ALT copies 00, 1 copy 10, none 11, missing 01; and a text VCF's
// header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <htslib/hts.h>
#include <htslib/kstring.h>
#include <htslib/vcf.h>
#include <string>
#include <vector>

// Sets sample s's code in bytes (zeroed before) from its ALT copies; any
// value outside 0..2 is missing.
void setVcfCode(std::vector<uint8_t>& bytes, size_t s, int altCopies);

// The packed genotypes of one text record, given from its FORMAT column to
// its end, over samples columns: each sample's GT value ("0/1", "1|1", a
// haploid "0", or missing for ".", a half call, another ploidy, or no GT
// key). False when the record has fewer sample columns than samples.
bool packVcfText(const char* format, const char* end, size_t samples, std::vector<uint8_t>& bytes);

// The packed genotypes of a biallelic BCF record (unpacked to its
// strings) over samples: diploid or haploid calls of alleles 0 and 1, the
// rest missing.
void packBcfGenotypes(const bcf_hdr_t* header, bcf1_t* rec, size_t samples, std::vector<uint8_t>& bytes);

// Reads a text VCF's header lines up to its #CHROM line (htslib's header
// parser would also load the whole tabix index to list its contigs):
// whether GT is defined, and the sample names. False when no #CHROM line
// ends it.
bool readVcfTextHeader(htsFile* file, kstring_t& line, bool& gtDefined, std::vector<std::string>& samples);
