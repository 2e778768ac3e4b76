// Genotypes of VCF records as PLINK's packed 2-bit codes (.bed layout, 4
// samples a byte, low bits first), counting ALT as the .bed's allele 1:
// 2 ALT copies 00, 1 copy 10, none 11, missing 01.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Sets sample s's code in bytes (zeroed before) from its ALT copies; any
// value outside 0..2 is missing.
void setVcfCode(std::vector<uint8_t>& bytes, size_t s, int altCopies);

// The packed genotypes of one text record, given from its FORMAT column to
// its end, over samples columns: each sample's GT value ("0/1", "1|1", a
// haploid "0", or missing for ".", a half call, another ploidy, or no GT
// key). False when the record has fewer sample columns than samples.
bool packVcfText(const char* format, const char* end, size_t samples, std::vector<uint8_t>& bytes);
