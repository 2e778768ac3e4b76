// A PLINK 1 binary fileset (.bed/.bim/.fam) as an LD reference panel: its
// samples read once, its .bim lines counted (their fields are read, and
// checked, as they stream past a table's candidates), the SNP-major .bed
// checked by magic and size, and a chosen subset of samples.
#pragma once
#include "ld/text_lines.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct PanelVariant {
    std::string chromosome, id;
    int32_t position = 0;
    std::string allele1, allele2;
};

struct PlinkFileset {
    std::string bedPath, bimPath, famPath;
    uint64_t variantCount = 0; // .bim lines
    std::vector<std::string> familyIds, sampleIds; // in .fam order (a VCF: sampleIds only)
    uint64_t bytesPerVariant = 0;
    // Places in the .bim where a line starts, about every 65,536 variants
    // (the first at the file's start), so that its parts can be read apart.
    struct BimMark {
        uint64_t offset = 0;   // the line's first byte
        uint64_t lines = 0;    // lines before it, blank ones included
        uint64_t variants = 0; // variants (lines that are not blank) before it
    };
    std::vector<BimMark> bimMarks;
};

// The three paths of a fileset given by its prefix or by its .bed path.
void plinkPaths(const std::string& panel, std::string& bed, std::string& bim, std::string& fam);

// Counts the .bim's lines, reads .fam and checks the .bed's magic (SNP-major) and size
// (variants × ceil(samples / 4) + 3). False with the reason in why.
bool openPlinkFileset(const std::string& panel, PlinkFileset& set, std::string& why);

// One .bim line's fields as views: false when it is not a .bim line (six
// fields, a position in 0..2^31-1).
struct BimFields {
    std::string_view chromosome, id, allele1, allele2;
    int32_t position = 0;
};
bool bimFields(const LineFields& fields, BimFields& out);
// A .bim position: decimal digits (a "-" only before zeros) for 0..2^31-1.
bool bimPosition(std::string_view text, int32_t& position);

// Every variant of a .bim, in order (for tools and tests; a run streams
// the .bim instead). False with the reason in why.
bool readPanelVariants(const std::string& bimPath, std::vector<PanelVariant>& variants, std::string& why);

// The samples to use, as indices in the panel's order: every sample when
// file is empty, else those named in file, one per line as an IID or
// "FID IID" (a panel without family ids, a VCF: the line is the name).
// unknown counts the file's names not in the panel. False with the reason
// in why for an unreadable file or an empty selection.
bool selectSamples(const PlinkFileset& set, const std::string& file, std::vector<uint32_t>& chosen, size_t& unknown,
                   std::string& why);
