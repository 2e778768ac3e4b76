// Reading a VCF or BCF panel with htslib. Text VCF records are split by
// hand (htslib's full parse of every sample column would dominate the
// time): the first five columns of each, the GT column only of a record
// a candidate takes.
#include "ld/vcf_panel.h"

#include "ld/hts_handles.h"

#include "ld/bgzf_blocks.h"
#include "ld/bgzf_lines.h"

#include "genes/gene_index.h"
#include "ld/tabix_linear.h"
#include "ld/vcf_genotypes.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <htslib/bgzf.h>
#include <htslib/hts.h>
#include <htslib/kseq.h>
#include <htslib/kstring.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>
#include <memory>
#include <sys/stat.h>

namespace {

using hts::cannotRead;
using hts::exists;
using hts::Header;
using HtsFile = hts::File;

// The lines of the file through htslib's own BGZF reading.
struct HtsLines {
    BGZF* bgzf;
    kstring_t* text;
    uint64_t tell() const { return static_cast<uint64_t>(bgzf_tell(bgzf)); }
    bool seek(uint64_t at) { return bgzf_seek(bgzf, static_cast<int64_t>(at), SEEK_SET) >= 0; }
    int line(const char*& s, size_t& n)
    {
        const int r = bgzfLine(bgzf, text);
        s = text->s;
        n = text->l;
        return r >= 0 ? 1 : r == -1 ? 0 : -1;
    }
};

class VcfReader {
public:
    VcfReader(const VcfPanel& panel, const std::function<bool(const VcfRecord&)>& offer,
              const std::vector<uint32_t>& chosen, GenotypePlanes& planes, VcfReadResult& result, ThreadPool* pool)
        : vcf_(panel), offer_(offer), chosen_(chosen), planes_(planes), result_(result), pool_(pool)
    {
    }

    bool run(const std::vector<VcfWanted>& wanted, std::string& why)
    {
        errno = 0;
        file_.reset(hts_open(vcf_.path.c_str(), "r"));
        if (!file_)
            return fail(cannotRead(vcf_.path), why);
        const bool isBcf = hts_get_format(file_.get())->format == bcf;
        bool gtDefined = false;
        std::vector<std::string> names;
        if (isBcf)
            header_.reset(bcf_hdr_read(file_.get()));
        if (isBcf ? !header_ : !readVcfTextHeader(file_.get(), line_, gtDefined, names)) {
            ks_free(&line_);
            return fail("'" + vcf_.path + "' is not a readable VCF or BCF file", why);
        }
        samples_ = isBcf ? static_cast<size_t>(bcf_hdr_nsamples(header_.get())) : names.size();
        const bool ok = isBcf ? binary(wanted) : text(wanted);
        ks_free(&line_);
        return ok || fail(error_, why);
    }

private:
    static bool fail(const std::string& reason, std::string& why)
    {
        why = reason;
        return false;
    }
    bool damaged(const std::string& where)
    {
        error_ = "'" + vcf_.path + "' is damaged or truncated" + where;
        return false;
    }

    // The file's name for a table chromosome ("" when it has none).
    static std::string contigOf(const char** names, int n, const std::string& chromosome)
    {
        const std::string key = chromosomeKey(chromosome);
        for (int i = 0; i < n; ++i)
            if (chromosomeKey(names[i]) == key)
                return names[i];
        return "";
    }

    // One text line: offered when biallelic; its genotypes kept when taken.
    // False when the line is not a VCF record.
    bool line(const char* s, size_t length)
    {
        const char* end = s + length;
        const char* at[5];
        const char* p = s;
        for (int f = 0; f < 5; ++f) {
            at[f] = p;
            const char* tab = static_cast<const char*>(std::memchr(p, '\t', static_cast<size_t>(end - p)));
            if (!tab)
                return damaged(" (a record with fewer than ten columns)");
            p = tab + 1;
        }
        auto field = [&](int f) { return std::string_view(at[f], static_cast<size_t>(at[f + 1] - at[f] - 1)); };
        const std::string_view alt(at[4], static_cast<size_t>(p - at[4] - 1));
        if (alt.find(',') != std::string_view::npos) {
            ++result_.multiAllelic;
            return true;
        }
        VcfRecord r;
        r.chromosome = field(0);
        r.id = field(2);
        r.allele2 = field(3);
        r.allele1 = alt;
        int64_t position = 0;
        for (char ch : field(1)) {
            if (ch < '0' || ch > '9' || position > INT32_MAX)
                return damaged(" (a record position is not a number)");
            position = position * 10 + (ch - '0');
        }
        if (position > INT32_MAX)
            return damaged(" (a record position is too large)");
        r.position = static_cast<int32_t>(position);
        r.ordinal = ordinal_++;
        if (!offer_(r))
            return true;
        // Skip QUAL, FILTER and INFO to the FORMAT column.
        for (int f = 0; f < 3; ++f) {
            const char* tab = static_cast<const char*>(std::memchr(p, '\t', static_cast<size_t>(end - p)));
            if (!tab)
                return damaged(" (a record with fewer than ten columns)");
            p = tab + 1;
        }
        if (!packVcfText(p, end, samples_, bytes_))
            return damaged(" (a record with fewer sample columns than the header names)");
        keep(r.ordinal);
        return true;
    }

    bool text(const std::vector<VcfWanted>& wanted)
    {
        // A .tbi is read for its linear offsets alone (see tabix_linear.h);
        // a CSI index through htslib; without either, every line is read.
        // An index beside a file that is not BGZF-compressed is stale.
        TabixLinear linear;
        std::string why;
        const bool blocks = hts_get_format(file_.get())->compression == bgzf;
        const bool tbi = blocks && exists(vcf_.path + ".tbi") && readTabixLinear(vcf_.path + ".tbi", linear, why);
        std::unique_ptr<tbx_t, void (*)(tbx_t*)> csi(
            tbi || !blocks ? nullptr : tbx_index_load3(vcf_.path.c_str(), nullptr, HTS_IDX_SILENT_FAIL), tbx_destroy);
        if (!tbi && !csi) {
            int r;
            while ((r = hts_getline(file_.get(), KS_SEP_LINE, &line_)) >= 0)
                if (line_.l > 0 && line_.s[0] != '#' && !line(line_.s, line_.l))
                    return false;
            return r == -1 || damaged("");
        }
        std::vector<std::string> names = linear.names;
        if (csi) {
            int n = 0;
            const char** seq = tbx_seqnames(csi.get(), &n);
            names.assign(seq, seq + n);
            free(seq);
        }
        std::vector<int> sequences; // per wanted chromosome, -1: none in the file
        for (const VcfWanted& w : wanted) {
            sequences.push_back(-1);
            for (size_t k = 0; k < names.size() && sequences.back() < 0; ++k)
                if (chromosomeKey(names[k]) == chromosomeKey(w.chromosome))
                    sequences.back() = static_cast<int>(k);
        }
        // Through a .tbi the blocks are read by this reader of their own,
        // which inflates the blocks the positions start in ahead on the pool.
        std::unique_ptr<BgzfBlockLines> ahead;
        if (tbi) {
            std::vector<uint64_t> plan;
            for (size_t i = 0; i < wanted.size(); ++i)
                for (int32_t q : wanted[i].positions) {
                    uint64_t start = 0;
                    if (sequences[i] >= 0 && tabixStart(linear, static_cast<size_t>(sequences[i]), q, start) &&
                        (plan.empty() || plan.back() != start >> 16))
                        plan.push_back(start >> 16);
                }
            ahead = std::make_unique<BgzfBlockLines>(vcf_.path, std::move(plan), pool_);
            if (!ahead->opened())
                return fail(cannotRead(vcf_.path), error_);
        }
        HtsLines hts{hts_get_bgzfp(file_.get()), &line_};
        for (size_t i = 0; i < wanted.size(); ++i) {
            const int sequence = sequences[i];
            if (sequence < 0)
                continue;
            auto startOf = [&](int32_t q, uint64_t& start) {
                if (tbi)
                    return tabixStart(linear, static_cast<size_t>(sequence), q, start);
                const int tid = tbx_name2id(csi.get(), names[static_cast<size_t>(sequence)].c_str());
                hts_itr_t* itr = tbx_itr_queryi(csi.get(), tid, q - 1, q);
                const bool some = itr && itr->n_off > 0;
                if (some)
                    start = itr->off[0].u;
                tbx_itr_destroy(itr);
                return some;
            };
            const std::string& name = names[static_cast<size_t>(sequence)];
            if (!(ahead ? contig(*ahead, name, wanted[i].positions, startOf)
                         : contig(hts, name, wanted[i].positions, startOf)))
                return false;
        }
        return true;
    }

    // The records of one contig at the positions (ascending). Design note:
    // the reader goes on from where it is while the next position's start
    // lies in the block being read or before it (the file is sorted, so
    // every record between is at most that position), and seeks otherwise;
    // each block is thus decompressed once. lastPos, the position of the
    // last record read on this contig, tells which positions were passed.
    // Records of other contigs before this one's are skipped; one after
    // them ends the contig.
    template <class Lines, class StartOf>
    bool contig(Lines& lines, const std::string& name, const std::vector<int32_t>& positions, StartOf startOf)
    {
        bool reading = false, seen = false;
        int64_t lastPos = -1;
        for (int32_t q : positions) {
            if (reading && lastPos >= q)
                continue;
            uint64_t start = 0;
            if (!startOf(q, start))
                continue;
            const uint64_t here = lines.tell();
            if (!reading || (start >> 16) > (here >> 16)) {
                if (!lines.seek(start))
                    return damaged("");
                reading = true;
            }
            for (;;) {
                const char* s = nullptr;
                size_t n = 0;
                const int r = lines.line(s, n);
                if (r < 0)
                    return damaged("");
                if (r == 0)
                    return true; // the end of the file
                if (n == 0 || s[0] == '#')
                    continue;
                const char* tab = static_cast<const char*>(std::memchr(s, '\t', n));
                const bool mine = tab && std::string_view(s, static_cast<size_t>(tab - s)) == name;
                if (!mine && seen)
                    return true; // past this contig's last record
                if (!mine)
                    continue;
                seen = true;
                if (!line(s, n))
                    return false;
                lastPos = 0; // the record's position: checked digits, as line() read them
                for (const char* d = tab + 1; *d >= '0' && *d <= '9' && lastPos <= INT32_MAX; ++d)
                    lastPos = lastPos * 10 + (*d - '0');
                if (lastPos > q)
                    break;
            }
        }
        return true;
    }

    bool binary(const std::vector<VcfWanted>& wanted)
    {
        std::unique_ptr<bcf1_t, void (*)(bcf1_t*)> rec(bcf_init(), bcf_destroy);
        std::unique_ptr<hts_idx_t, void (*)(hts_idx_t*)> index(
            hts_get_format(file_.get())->compression == bgzf
                ? bcf_index_load3(vcf_.path.c_str(), nullptr, HTS_IDX_SILENT_FAIL)
                : nullptr,
            hts_idx_destroy);
        int r;
        if (!index) {
            while ((r = bcf_read(file_.get(), header_.get(), rec.get())) >= 0)
                if (!record(rec.get()))
                    return false;
            return r == -1 || damaged("");
        }
        int n = 0;
        const char** names = bcf_hdr_seqnames(header_.get(), &n);
        std::unique_ptr<const char*, void (*)(void*)> namesOwner(names, free);
        for (const VcfWanted& w : wanted) {
            const std::string contig = contigOf(names, n, w.chromosome);
            if (contig.empty() || w.positions.empty())
                continue;
            const int tid = bcf_hdr_name2id(header_.get(), contig.c_str());
            std::unique_ptr<hts_itr_t, void (*)(hts_itr_t*)> itr(
                bcf_itr_queryi(index.get(), tid, w.positions.front() - 1, w.positions.back()), hts_itr_destroy);
            if (!itr)
                continue;
            while ((r = bcf_itr_next(file_.get(), itr.get(), rec.get())) >= 0)
                if (!record(rec.get()))
                    return false;
            if (r < -1)
                return damaged("");
        }
        return true;
    }

    bool record(bcf1_t* rec)
    {
        if (bcf_unpack(rec, BCF_UN_STR) < 0)
            return damaged("");
        if (rec->n_allele > 2) {
            ++result_.multiAllelic;
            return true;
        }
        VcfRecord r;
        r.chromosome = bcf_seqname_safe(header_.get(), rec);
        r.id = rec->d.id;
        r.allele2 = rec->d.allele[0];
        r.allele1 = rec->n_allele > 1 ? rec->d.allele[1] : ".";
        r.position = static_cast<int32_t>(rec->pos + 1);
        r.ordinal = ordinal_++;
        if (!offer_(r))
            return true;
        packBcfGenotypes(header_.get(), rec, samples_, bytes_);
        keep(r.ordinal);
        return true;
    }

    void keep(uint64_t ordinal)
    {
        if (chosen_.size() > samples_ || (!chosen_.empty() && chosen_.back() >= samples_))
            return; // cannot happen: the samples were chosen from this header
        const size_t slot = planes_.addPacked(bytes_.data(), chosen_, chosen_.size() == samples_);
        result_.slots.emplace_back(ordinal, static_cast<uint32_t>(slot));
    }

    const VcfPanel& vcf_;
    const std::function<bool(const VcfRecord&)>& offer_;
    const std::vector<uint32_t>& chosen_;
    GenotypePlanes& planes_;
    VcfReadResult& result_;
    ThreadPool* pool_;
    std::vector<uint8_t> bytes_; // one record's packed genotypes
    HtsFile file_;
    Header header_;
    size_t samples_ = 0;
    kstring_t line_ = KS_INITIALIZE;
    uint64_t ordinal_ = 0;
    std::string error_;
};

} // namespace

bool readVcfPanel(const VcfPanel& panel, const std::vector<VcfWanted>& wanted,
                  const std::function<bool(const VcfRecord&)>& offer, const std::vector<uint32_t>& chosen,
                  GenotypePlanes& planes, VcfReadResult& result, std::string& why, ThreadPool* pool)
{
    result = VcfReadResult();
    return VcfReader(panel, offer, chosen, planes, result, pool).run(wanted, why);
}
