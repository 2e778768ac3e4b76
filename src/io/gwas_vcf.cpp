// The GWAS-VCF source: records are read with htslib and written out as the
// rows of a plain table, a few hundred kilobytes at a time.
#include "io/gwas_vcf.h"

#include <htslib/bgzf.h>
#include <htslib/hts.h>
#include <htslib/vcf.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kRowsAhead = 1 << 18; // bytes of rows made per fill

bool endsWith(const std::string& s, const char* tail)
{
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// The shortest text that reads back as v.
void appendFloat(std::string& out, float v)
{
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    out.append(text, r.ptr);
}

// One FORMAT field of the chosen study, in htslib's reused buffer.
struct Field {
    const char* tag;
    float* buffer = nullptr;
    int capacity = 0;
    const float* values = nullptr; // the study's first value
    int count = 0;                 // its values (0: the record lacks the field)

    explicit Field(const char* t) : tag(t) {}
    ~Field() { std::free(buffer); }
    Field(const Field&) = delete;
    Field& operator=(const Field&) = delete;

    void read(const bcf_hdr_t* header, bcf1_t* record, int sample, int samples)
    {
        count = 0;
        const int n = bcf_get_format_float(header, record, tag, &buffer, &capacity);
        if (n <= 0 || samples <= 0)
            return;
        const int each = n / samples;
        values = buffer + static_cast<ptrdiff_t>(sample) * each;
        while (count < each && !bcf_float_is_vector_end(values[count]))
            ++count;
    }
    // The value for ALT allele a (a field with one value serves every ALT).
    bool missing(int a) const { return count == 0 || bcf_float_is_missing(values[count == 1 ? 0 : a]); }
    float value(int a) const { return values[count == 1 ? 0 : a]; }
};

class GwasVcfSource : public InputSource {
public:
    GwasVcfSource(htsFile* file, bcf_hdr_t* header, int sample, std::string missing,
                  std::shared_ptr<VcfNotes> notes)
        : file_(file), header_(header), record_(bcf_init()), sample_(sample), samples_(bcf_hdr_nsamples(header)),
          missing_(std::move(missing)), notes_(std::move(notes))
    {
        pending_ = "CHROM\tPOS\tID\tLP\tES\tSE\tAF\tREF\tALT\n";
    }
    ~GwasVcfSource() override
    {
        bcf_destroy(record_);
        bcf_hdr_destroy(header_);
        hts_close(file_);
    }
    GwasVcfSource(const GwasVcfSource&) = delete;
    GwasVcfSource& operator=(const GwasVcfSource&) = delete;

    size_t read(char* buf, size_t cap) override
    {
        if (at_ == pending_.size()) {
            pending_.clear();
            at_ = 0;
            if (!fill())
                return 0;
        }
        const size_t n = std::min(cap, pending_.size() - at_);
        std::memcpy(buf, pending_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    // Makes rows until about kRowsAhead bytes wait; false when none was
    // made (at the end, or after an error with failed_ set).
    bool fill()
    {
        while (!ended_ && pending_.size() < kRowsAhead) {
            const int r = bcf_read(file_, header_, record_);
            if (r < 0) {
                // A damaged compressed block also ends the records with -1:
                // the block reader keeps its error.
                const BGZF* blocks = file_->is_bgzf ? file_->fp.bgzf : nullptr;
                ended_ = true;
                failed_ = r < -1 || (blocks && blocks->errcode != 0);
                break;
            }
            writeRecord();
        }
        return !pending_.empty();
    }

    void writeRecord()
    {
        bcf1_t* rec = record_;
        bcf_unpack(rec, BCF_UN_STR | BCF_UN_FMT);
        for (Field* f : {&lp_, &es_, &se_, &af_})
            f->read(header_, rec, sample_, samples_);
        const int alts = std::max(rec->n_allele - 1, 1);
        if (alts > 1 && (lp_.count != alts || (es_.count > 1 && es_.count != alts) ||
                         (se_.count > 1 && se_.count != alts) || (af_.count > 1 && af_.count != alts))) {
            ++notes_->skippedMultiAllelic;
            return;
        }
        const char* chrom = bcf_seqname(header_, rec);
        const std::string position = std::to_string(static_cast<long long>(rec->pos) + 1);
        for (int a = 0; a < alts; ++a) {
            pending_ += chrom ? chrom : ".";
            pending_ += '\t';
            pending_ += position;
            pending_ += '\t';
            pending_ += rec->d.id ? rec->d.id : ".";
            pending_ += '\t';
            if (lp_.missing(a))
                pending_ += missing_;
            else
                appendFloat(pending_, lp_.value(a));
            for (const Field* f : {&es_, &se_, &af_}) {
                pending_ += '\t';
                if (f->missing(a))
                    pending_ += "NA";
                else
                    appendFloat(pending_, f->value(a));
            }
            pending_ += '\t';
            pending_ += rec->n_allele > 0 ? rec->d.allele[0] : ".";
            pending_ += '\t';
            pending_ += rec->n_allele > a + 1 ? rec->d.allele[a + 1] : ".";
            pending_ += '\n';
        }
    }

    htsFile* const file_;
    bcf_hdr_t* const header_;
    bcf1_t* const record_;
    const int sample_, samples_;
    const std::string missing_;
    const std::shared_ptr<VcfNotes> notes_;
    Field lp_{"LP"}, es_{"ES"}, se_{"SE"}, af_{"AF"};
    std::string pending_; // rows made but not yet handed out
    size_t at_ = 0;
    bool ended_ = false;
};

} // namespace

bool looksLikeVcf(const std::string& path)
{
    return endsWith(path, ".vcf") || endsWith(path, ".vcf.gz") || endsWith(path, ".bcf");
}

GwasVcfOpening openGwasVcf(const std::string& path, const std::string& study, const std::string& missing)
{
    GwasVcfOpening o;
    htsFile* file = hts_open(path.c_str(), "r");
    if (!file) {
        o.error = "cannot be opened";
        return o;
    }
    const htsExactFormat format = hts_get_format(file)->format;
    bcf_hdr_t* header = format == vcf || format == bcf ? bcf_hdr_read(file) : nullptr;
    if (!header) {
        hts_close(file);
        o.error = "is not a VCF or BCF file (no VCF header)";
        return o;
    }
    for (int k = 0; k < bcf_hdr_nsamples(header); ++k)
        o.studies.emplace_back(header->samples[k]);
    int sample = 0;
    if (!study.empty())
        sample = static_cast<int>(std::find(o.studies.begin(), o.studies.end(), study) - o.studies.begin());
    if (o.studies.empty() || sample == static_cast<int>(o.studies.size())) {
        o.error = o.studies.empty() ? "holds no study (sample column)" : "holds no study '" + study + "'";
        bcf_hdr_destroy(header);
        hts_close(file);
        return o;
    }
    if (study.empty() && o.studies.size() > 1) {
        o.warning = "the file holds " + std::to_string(o.studies.size()) + " studies; the first, '" + o.studies[0] +
                    "', is read (-vcf-study picks another:";
        for (size_t k = 1; k < o.studies.size(); ++k)
            o.warning += " '" + o.studies[k] + "'";
        o.warning += ")";
    }
    // Compressed blocks are inflated on a thread of htslib's own, ahead of
    // the parsing.
    if (file->is_bgzf)
        hts_set_threads(file, 1);
    auto notes = std::make_shared<VcfNotes>();
    o.notes = notes;
    o.source = std::make_unique<GwasVcfSource>(file, header, sample, missing, notes);
    return o;
}
