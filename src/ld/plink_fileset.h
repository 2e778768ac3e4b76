// A PLINK 1 binary fileset (.bed/.bim/.fam) as an LD reference panel: its
// variants and samples read once, the SNP-major .bed checked by magic and
// size, a chosen subset of samples, and each wanted variant's genotypes
// read on demand into two bit planes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PanelVariant {
    std::string chromosome, id;
    int32_t position = 0;
    std::string allele1, allele2;
};

struct PlinkFileset {
    std::string bedPath, bimPath, famPath;
    std::vector<PanelVariant> variants; // in .bim order
    std::vector<std::string> familyIds, sampleIds; // in .fam order
    uint64_t bytesPerVariant = 0;
};

// The three paths of a fileset given by its prefix or by its .bed path.
void plinkPaths(const std::string& panel, std::string& bed, std::string& bim, std::string& fam);

// Reads .bim and .fam and checks the .bed's magic (SNP-major) and size
// (variants × ceil(samples / 4) + 3). False with the reason in why.
bool openPlinkFileset(const std::string& panel, PlinkFileset& set, std::string& why);

// The samples to use, as .fam indices in .fam order: every sample when file
// is empty, else those named in file, one per line as an IID or "FID IID".
// unknown counts the file's names not in the panel. False with the reason
// in why for an unreadable file or an empty selection.
bool selectSamples(const PlinkFileset& set, const std::string& file, std::vector<uint32_t>& chosen, size_t& unknown,
                   std::string& why);
