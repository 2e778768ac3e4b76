// Opening a VCF or BCF panel: its header's sample names and GT definition
// (see vcf_panel.h), and which paths name one.
#include "ld/vcf_panel.h"

#include "ld/hts_handles.h"

#include "ld/vcf_genotypes.h"

#include <cerrno>
#include <cstring>
#include <htslib/hts.h>
#include <htslib/kstring.h>
#include <htslib/vcf.h>
#include <memory>
#include <sys/stat.h>

namespace {

bool endsWith(const std::string& s, const char* tail)
{
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

using hts::cannotRead;
using hts::exists;
using hts::Header;
using HtsFile = hts::File;

} // namespace

bool isVcfPath(const std::string& path)
{
    return endsWith(path, ".vcf") || endsWith(path, ".vcf.gz") || endsWith(path, ".vcf.bgz") || endsWith(path, ".bcf");
}

bool openVcfPanel(const std::string& path, VcfPanel& panel, std::vector<std::string>& sampleIds, std::string& why)
{
    panel = VcfPanel();
    panel.path = path;
    for (const char* ext : {".tbi", ".csi"})
        if (exists(path + ext))
            panel.indexFiles.push_back(path + ext);
    errno = 0;
    HtsFile file(hts_open(path.c_str(), "r"));
    if (!file) {
        why = cannotRead(path);
        return false;
    }
    const htsExactFormat format = hts_get_format(file.get())->format;
    bool read = false, gtDefined = false;
    sampleIds.clear();
    if (format == bcf) {
        Header header(bcf_hdr_read(file.get()));
        if (header) {
            read = true;
            const int gt = bcf_hdr_id2int(header.get(), BCF_DT_ID, "GT");
            gtDefined = gt >= 0 && bcf_hdr_idinfo_exists(header.get(), BCF_HL_FMT, gt);
            for (int s = 0; s < bcf_hdr_nsamples(header.get()); ++s)
                sampleIds.emplace_back(header->samples[s]);
        }
    } else if (format == vcf) {
        kstring_t line = KS_INITIALIZE;
        read = readVcfTextHeader(file.get(), line, gtDefined, sampleIds);
        ks_free(&line);
    }
    if (!read) {
        why = "'" + path + "' is not a readable VCF or BCF file";
        return false;
    }
    if (!gtDefined) {
        why = "'" + path + "' has no GT (genotype) field in its header";
        return false;
    }
    return true;
}
