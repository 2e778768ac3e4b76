// The table's source by its -format.
#include "cli/table_source.h"

#include <sys/stat.h>

OpenedTable openTable(const RunOptions& options, const std::string& path, std::atomic<uint64_t>* bytesRead)
{
    OpenedTable t;
    if (!options.columns.preset || !options.columns.preset->vcf) {
        t.source = openInput(path, bytesRead);
        return t;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return t;
    GwasVcfOpening vcf = openGwasVcf(path, options.vcfStudy, options.layout.missing);
    t.source = std::move(vcf.source);
    t.error = std::move(vcf.error);
    t.warning = std::move(vcf.warning);
    t.vcf = std::move(vcf.notes);
    return t;
}
