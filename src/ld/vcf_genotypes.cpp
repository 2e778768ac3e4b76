// Genotypes of VCF records as PLINK's packed 2-bit codes: from the text
// of a record's sample columns, and from htslib's decoded GT values; and
// a text VCF's header.
#include "ld/vcf_genotypes.h"
#include "base/byte_words.h"

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

// Two calls "a?b\tc?d\t" (a..d the bytes 0, 2, 4, 6 of w, each '0' or '1')
// as four bits: a, b, c, d from bit 0 up. Design note: masked to bit 0 of
// each of those bytes, one product moves bits 0, 16, 32 and 48 to bits
// 60-63; the other products land below bit 60 on distinct bits.
unsigned alleleBits(uint64_t w)
{
    return static_cast<unsigned>(((w & 0x0001000100010001ull) * 0x1000200040008000ull) >> 60);
}

// Three-character calls a tab apart ("0/1\t1|1\t..."), four samples (one
// byte) at a time where the four are 0/1 alleles with one kind of
// separator; the other calls (and the last four samples) one at a time.
// The code of alleles a, b (ALT copies a + b): its high bit is NAND(a, b),
// its low bit NOR(a, b), which gives 11, 10 and 00 for 0, 1 and 2 copies.
// False (with bytes partly set) when a call is not followed by a tab.
bool packPlainCalls(const char* p, size_t samples, std::vector<uint8_t>& bytes)
{
    constexpr uint64_t kAlleleMask = 0x00fe00fe00fe00feull, kAlleles = 0x0030003000300030ull;
    constexpr uint64_t kSepMask = 0x0000ff000000ff00ull, kTabMask = 0xff000000ff000000ull;
    constexpr uint64_t kTabs = 0x0900000009000000ull;
    const uint64_t slashes = 0x00002f0000002f00ull, bars = 0x00007c0000007c00ull;
    size_t s = 0;
    for (; s + 4 < samples; s += 4) { // the last call has no tab after it: left to the loop below
        const uint64_t w0 = littleEndianWord(p + 4 * s), w1 = littleEndianWord(p + 4 * s + 8);
        if ((w0 & kTabMask) != kTabs || (w1 & kTabMask) != kTabs)
            return false;
        const uint64_t sep = w0 & kSepMask;
        if ((w0 & kAlleleMask) == kAlleles && (w1 & kAlleleMask) == kAlleles && (sep == slashes || sep == bars) &&
            (w1 & kSepMask) == sep) {
            const unsigned g = alleleBits(w0) | alleleBits(w1) << 4; // a0 b0 a1 b1 ... from bit 0
            const unsigned both = g & (g >> 1) & 0x55, either = (g | (g >> 1)) & 0x55;
            bytes[s / 4] = static_cast<uint8_t>(((~both & 0x55) << 1) | (~either & 0x55));
        } else {
            for (size_t k = s; k < s + 4; ++k)
                setVcfCode(bytes, k, altCopies(p + 4 * k, p + 4 * k + 3));
        }
    }
    for (; s < samples; ++s) {
        if (s + 1 < samples && p[4 * s + 3] != '\t')
            return false;
        setVcfCode(bytes, s, altCopies(p + 4 * s, p + 4 * s + 3));
    }
    return true;
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
        if (packPlainCalls(p, samples, bytes))
            return true;
        bytes.assign((samples + 3) / 4, 0);
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
