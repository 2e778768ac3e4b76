// GWAS-VCF tables (.vcf, .vcf.gz, .bcf) read through htslib. The records of
// one study (one sample column) become the rows of a tab-separated table
// with a header line, which the ordinary reader then reads by names:
//
//   CHROM  POS  ID  LP  ES  SE  AF  REF  ALT
//
// LP is the study's -log10(p); a missing LP (.) is written as the missing
// word, so the row is skipped as any missing value is. LP, ES, SE and AF are
// written as the shortest text that reads back as the stored float (NA when
// ES, SE or AF is missing). A record with several ALT alleles gives one row
// per ALT when each of the study's fields holds one value per ALT, and is
// skipped (and counted) otherwise.
#pragma once
#include "io/byte_source.h"

#include <memory>
#include <string>
#include <vector>

// The table's name ends in .vcf, .vcf.gz or .bcf.
bool looksLikeVcf(const std::string& path);

// What the source counts as it is read.
struct VcfNotes {
    long long skippedMultiAllelic = 0; // records whose fields do not hold one value per ALT
};

// What opening a GWAS-VCF table gives: the source (null on failure, with
// error saying why), the studies the file holds, and a warning naming the
// others when there are several and none was asked for.
struct GwasVcfOpening {
    std::unique_ptr<InputSource> source;
    std::shared_ptr<const VcfNotes> notes; // filled by the reading thread; read once the table is read
    std::string error, warning;
    std::vector<std::string> studies;
};

// Opens path and picks the sample column named study (the first when
// empty); missing is the word a missing LP is written as.
GwasVcfOpening openGwasVcf(const std::string& path, const std::string& study, const std::string& missing);
