// Genotypes of VCF records as PLINK's packed 2-bit codes: from the text
// of a record's sample columns, and from htslib's decoded GT values; and
// a text VCF's header.
#include "ld/vcf_genotypes.h"

#include <htslib/kseq.h>
#include <string_view>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

// PLINK's packed code for ALT (allele 1) copies: 2 → 00, 1 → 10, 0 → 11;
// missing → 01.
} // namespace

void setVcfCode(std::vector<uint8_t>& bytes, size_t s, int altCopies)
{
    static constexpr uint8_t kCode[3] = {3, 2, 0};
    const uint8_t code = altCopies >= 0 && altCopies <= 2 ? kCode[altCopies] : 1;
    bytes[s / 4] = static_cast<uint8_t>(bytes[s / 4] | (code << (2 * (s % 4))));
}

namespace {

// ALT copies of one text GT value ("0/1", "1|1", "0", "./."), -1 when
// missing or not diploid/haploid over alleles 0 and 1.
int altCopies(const char* p, const char* end)
{
    if (end - p == 3 && (p[1] == '/' || p[1] == '|') && (p[0] == '0' || p[0] == '1') && (p[2] == '0' || p[2] == '1'))
        return (p[0] - '0') + (p[2] - '0');
    if (end - p == 1 && (p[0] == '0' || p[0] == '1'))
        return 2 * (p[0] - '0');
    return -1;
}

} // namespace

// The packed genotypes of one text record from its FORMAT column on. One
// scan of the sample columns: in each, the value after gt colons up to the
// next colon or tab.
bool packVcfText(const char* format, const char* end, size_t samples, std::vector<uint8_t>& bytes)
{
    bytes.assign((samples + 3) / 4, 0);
    const char* tab = static_cast<const char*>(std::memchr(format, '\t', static_cast<size_t>(end - format)));
    if (!tab)
        return samples == 0;
    // Which colon-separated key is GT.
    int gt = -1, key = 0;
    for (const char* k = format; k < tab; ++key) {
        const char* colon = static_cast<const char*>(std::memchr(k, ':', static_cast<size_t>(tab - k)));
        const char* keyEnd = colon ? colon : tab;
        if (keyEnd - k == 2 && k[0] == 'G' && k[1] == 'T') {
            gt = key;
            break;
        }
        k = keyEnd + 1;
    }
    const char* p = tab + 1;
    // The usual shape: FORMAT is GT alone and each call three characters.
    if (gt == 0 && tab - format == 2 && samples > 0 && end - p == static_cast<std::ptrdiff_t>(4 * samples - 1)) {
        bool plain = true;
        for (size_t s = 0; s + 1 < samples && plain; ++s)
            plain = p[4 * s + 3] == '\t';
        if (plain) {
            for (size_t s = 0; s < samples; ++s)
                setVcfCode(bytes, s, altCopies(p + 4 * s, p + 4 * s + 3));
            return true;
        }
    }
    for (size_t s = 0; s < samples; ++s) {
        if (p > end)
            return false; // fewer sample columns than the header names
        for (int k = 0; k < gt; ++k) {
            while (p < end && *p != ':' && *p != '\t')
                ++p;
            if (p < end && *p == ':')
                ++p;
        }
        const char* value = p;
        while (p < end && *p != ':' && *p != '\t')
            ++p;
        setVcfCode(bytes, s, gt < 0 ? -1 : altCopies(value, p));
        while (p < end && *p != '\t')
            ++p;
        ++p; // past the tab (or past the end after the last column)
    }
    return true;
}

void packBcfGenotypes(const bcf_hdr_t* header, bcf1_t* rec, size_t samples, std::vector<uint8_t>& bytes)
{
    bytes.assign((samples + 3) / 4, 0);
    int32_t* gt = nullptr;
    int ngt = 0;
    const int got = bcf_get_genotypes(header, rec, &gt, &ngt);
    const size_t ploidy = got > 0 && samples > 0 ? static_cast<size_t>(got) / samples : 0;
    for (size_t s = 0; s < samples; ++s) {
        int copies = 0, alleles = 0;
        for (size_t a = 0; a < ploidy; ++a) {
            const int32_t v = gt[s * ploidy + a];
            if (v == bcf_int32_vector_end)
                break;
            if (bcf_gt_is_missing(v) || bcf_gt_allele(v) > 1) {
                alleles = -1;
                break;
            }
            copies += bcf_gt_allele(v);
            ++alleles;
        }
        setVcfCode(bytes, s, alleles == 2 ? copies : alleles == 1 ? 2 * copies : -1);
    }
    free(gt);
}

// A text VCF's header read line by line (htslib's header parser would
// also load the whole tabix index to list its contigs): whether GT is
// defined, and the sample names. False when no #CHROM line ends it.
bool readVcfTextHeader(htsFile* file, kstring_t& line, bool& gtDefined, std::vector<std::string>& samples)
{
    gtDefined = false;
    while (hts_getline(file, KS_SEP_LINE, &line) >= 0) {
        const std::string_view l(line.s, line.l);
        if (l.rfind("##FORMAT=<", 0) == 0 &&
            (l.find("<ID=GT,") != std::string_view::npos || l.find("<ID=GT>") != std::string_view::npos))
            gtDefined = true;
        if (l.rfind("#CHROM", 0) == 0) {
            samples.clear();
            size_t field = 0;
            for (size_t at = 0; at <= l.size(); ++field) {
                size_t tab = l.find('\t', at);
                if (tab == std::string_view::npos)
                    tab = l.size();
                if (field >= 9)
                    samples.emplace_back(l.substr(at, tab - at));
                at = tab + 1;
            }
            return true;
        }
        if (l.empty() || l[0] != '#')
            return false;
    }
    return false;
}
