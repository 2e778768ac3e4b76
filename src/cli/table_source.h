// Opening a table for reading: the file's bytes, or for -format gwas-vcf the
// rows of the chosen study (gwas_vcf.h).
#pragma once
#include "io/byte_source.h"
#include "io/gwas_vcf.h"
#include "cli/options.h"

#include <atomic>
#include <memory>
#include <string>

struct OpenedTable {
    std::unique_ptr<InputSource> source; // null when the table cannot be opened or read
    std::string error;   // why a GWAS-VCF file cannot be read; "" when the file cannot be opened at all
    std::string warning; // a GWAS-VCF file's other studies
    std::shared_ptr<const VcfNotes> vcf; // counted while a GWAS-VCF file is read
};

// bytesRead counts the file's bytes as they are taken (not for GWAS-VCF).
OpenedTable openTable(const RunOptions& options, const std::string& path, std::atomic<uint64_t>* bytesRead = nullptr);
