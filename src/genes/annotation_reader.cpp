// One pass over the annotation's lines. Lines before the first record settle
// the format; from then on, GTF and GFF3 lines whose third column is neither
// "gene" nor (GTF) "exon" are dropped after two tab searches and one
// comparison, before any other field is looked at (a GENCODE file is mostly
// transcript and exon lines); an exon line is read further only when it
// holds the gene_id of the gene stored last.
#include "genes/annotation_reader.h"

#include "genes/annotation_records.h"
#include "io/byte_source.h"
#include "io/line_reader.h"

#include <cstring>
#include <optional>

namespace {

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool isBlankLine(std::string_view s) { return s.find_first_not_of(" \t") == std::string_view::npos; }

// BED's own header lines: "track ..." and "browser ...".
bool isBedHeader(std::string_view s)
{
    for (std::string_view word : {std::string_view("track"), std::string_view("browser")})
        if (startsWith(s, word) && (s.size() == word.size() || s[word.size()] == ' ' || s[word.size()] == '\t'))
            return true;
    return false;
}

// The third tab-separated column is exactly word ("gene\t", "exon\t": the
// word and the tab after it).
bool thirdColumnIs(std::string_view line, std::string_view word)
{
    const char* const end = line.data() + line.size();
    const char* tab = static_cast<const char*>(std::memchr(line.data(), '\t', line.size()));
    if (!tab)
        return false;
    tab = static_cast<const char*>(std::memchr(tab + 1, '\t', static_cast<size_t>(end - tab - 1)));
    return tab && static_cast<size_t>(end - tab) > word.size() && std::memcmp(tab + 1, word.data(), word.size()) == 0;
}

// The value of GTF's gene_id attribute, with its key and quotes: the text an
// exon record of the same gene holds too. Empty without one.
std::string_view gtfGeneIdText(std::string_view attributes)
{
    const size_t at = attributes.find("gene_id \"");
    if (at == std::string_view::npos || (at > 0 && attributes[at - 1] != ' ' && attributes[at - 1] != ';'))
        return {};
    const size_t close = attributes.find('"', at + 9);
    return close == std::string_view::npos ? std::string_view() : attributes.substr(at, close + 1 - at);
}

char strandOf(std::string_view field) { return field == "+" ? '+' : field == "-" ? '-' : 0; }

std::optional<AnnotationFormat> formatOf(std::string_view line, bool gff3Directive,
                                         std::vector<std::string_view>& fields)
{
    int64_t a = 0, b = 0;
    if (gff3Directive)
        return AnnotationFormat::Gff3;
    splitFields(line, fields);
    if (fields.size() >= 3 && parseCoordinate(fields[1], a) && parseCoordinate(fields[2], b))
        return AnnotationFormat::Bed;
    splitTabs(line, fields);
    if (fields.size() >= 9 && parseCoordinate(fields[3], a) && parseCoordinate(fields[4], b)) {
        const std::string_view attributes = fields[8];
        const bool keyEqualsValue = attributes.find('=') != std::string_view::npos &&
                                    attributes.find('"') == std::string_view::npos;
        return keyEqualsValue ? AnnotationFormat::Gff3 : AnnotationFormat::Gtf;
    }
    return std::nullopt;
}

std::string placeName(std::string_view chrom, int64_t start, int64_t end)
{
    return std::string(chrom) + ":" + std::to_string(start) + "-" + std::to_string(end);
}

class Reader {
public:
    Reader(const std::string& path, const GeneTypeFilter& filter, bool exons, GeneAnnotation& out)
        : path_(path), filter_(filter), exons_(exons), out_(out)
    {
    }

    // False, with out.error set, at the first fault.
    bool line(std::string_view s, long long lineNo)
    {
        lineNo_ = lineNo;
        if (s.empty() || s[0] == '#') {
            if (s.size() > 1 && (s[1] == '!' || s[1] == '#'))
                out_.buildNotes.headerLine(s);
            if (!format_ && startsWith(s, "##gff-version")) {
                const size_t v = s.find_first_not_of(" \t", 13);
                gff3Directive_ = v != std::string_view::npos && s[v] == '3';
            }
            // GFF3 may end with sequences, which hold no records.
            if ((gff3Directive_ || format_ == AnnotationFormat::Gff3) && startsWith(s, "##FASTA"))
                sequenceReached_ = true;
            return true;
        }
        if (isBlankLine(s))
            return true;
        if (!format_) {
            if (isBedHeader(s))
                return true;
            format_ = formatOf(s, gff3Directive_, fields_);
            if (!format_)
                return fail("is not GTF, GFF3 or BED: the first record has neither numbers in columns 2 and 3 "
                            "(BED) nor nine tab-separated columns with numbers in columns 4 and 5 (GTF, GFF3)");
            out_.format = *format_;
        }
        return *format_ == AnnotationFormat::Bed ? bedRecord(s) : featureRecord(s);
    }

    bool sequenceReached() const { return sequenceReached_; }
    // Faults found after the last line name no line.
    void wholeFile() { lineNo_ = 0; }

    bool fail(const std::string& what)
    {
        out_.error = "gene annotation '" + path_ + "'" + (lineNo_ > 0 ? " line " + std::to_string(lineNo_) : "") +
                     " " + what;
        return false;
    }

private:
    bool coordinates(std::string_view startText, std::string_view endText, int64_t& start, int64_t& end, bool zeroBased)
    {
        if (!parseCoordinate(startText, start))
            return fail("has a start that is not a whole number: '" + std::string(startText.substr(0, 40)) + "'");
        if (!parseCoordinate(endText, end))
            return fail("has an end that is not a whole number: '" + std::string(endText.substr(0, 40)) + "'");
        if (end < start)
            return fail("has its end " + std::string(endText) + " before its start " + std::string(startText));
        if (!zeroBased && start == 0)
            return fail("has the start 0 (GTF and GFF3 count from 1)");
        if (zeroBased) {
            // 0-based half-open to 1-based inclusive; an empty BED interval
            // marks the one base after its start.
            ++start;
            end = std::max(end, start);
        }
        return true;
    }

    bool store(std::string_view chrom, int64_t start, int64_t end, const std::string& name, char strand)
    {
        if (chrom.empty())
            return fail("has no chromosome name");
        const std::string shown = name.empty() ? placeName(chrom, start, end) : reportableName(name);
        if (!out_.index.add(chrom, start, end, shown, strand))
            return fail("exceeds the room for gene names");
        return true;
    }

    // A 7th column that is not a number holds the gene's type (BED12's 7th
    // column, thickStart, is a number).
    bool bedRecord(std::string_view s)
    {
        splitFields(s, fields_, 8);
        if (fields_.size() < 3)
            return fail("has fewer than 3 columns (BED needs chrom, start, end)");
        int64_t start = 0, end = 0;
        if (!coordinates(fields_[1], fields_[2], start, end, true))
            return false;
        ++out_.geneRecords;
        out_.buildNotes.geneEnd(fields_[0], end);
        int64_t number = 0;
        if (fields_.size() > 6 && !fields_[6].empty() && !parseCoordinate(fields_[6], number)) {
            ++out_.typedRecords;
            if (!filter_.counts(fields_[6]))
                return true;
        }
        return store(fields_[0], start, end, fields_.size() > 3 ? std::string(fields_[3]) : std::string(),
                     fields_.size() > 5 ? strandOf(fields_[5]) : 0);
    }

    // A GTF exon record of the gene stored last: on its chromosome, with its
    // gene_id. Exons of genes left out, or far from their gene's record,
    // are not drawn; they change no gene.
    bool exonRecord(std::string_view s)
    {
        if (geneIdText_.empty() || s.find(geneIdText_) == std::string_view::npos)
            return true;
        splitTabs(s, fields_, 9);
        int64_t start = 0, end = 0;
        if (fields_.size() < 9 || fields_[0] != geneChrom_ || !parseCoordinate(fields_[3], start) ||
            !parseCoordinate(fields_[4], end) || gtfGeneIdText(fields_[8]) != geneIdText_)
            return true;
        out_.index.addExon(start, end);
        return true;
    }

    bool featureRecord(std::string_view s)
    {
        if (!thirdColumnIs(s, "gene\t"))
            return exons_ && *format_ == AnnotationFormat::Gtf && thirdColumnIs(s, "exon\t") ? exonRecord(s) : true;
        geneIdText_.clear();
        splitTabs(s, fields_);
        if (fields_.size() < 9)
            return fail("is a gene record with " + std::to_string(fields_.size()) +
                        " tab-separated columns instead of 9");
        int64_t start = 0, end = 0;
        if (!coordinates(fields_[3], fields_[4], start, end, false))
            return false;
        ++out_.geneRecords;
        out_.buildNotes.geneEnd(fields_[0], end);
        const GeneAttributes a =
            *format_ == AnnotationFormat::Gtf ? gtfAttributes(fields_[8]) : gff3Attributes(fields_[8]);
        out_.typedRecords += a.hasType;
        if (a.hasType && !filter_.counts(a.type))
            return true;
        if (exons_ && *format_ == AnnotationFormat::Gtf) {
            geneIdText_ = std::string(gtfGeneIdText(fields_[8]));
            geneChrom_ = std::string(fields_[0]);
        }
        return store(fields_[0], start, end, a.name, strandOf(fields_[6]));
    }

    const std::string& path_;
    const GeneTypeFilter& filter_;
    const bool exons_;
    GeneAnnotation& out_;
    std::optional<AnnotationFormat> format_;
    bool gff3Directive_ = false;
    bool sequenceReached_ = false;
    long long lineNo_ = 0;
    std::vector<std::string_view> fields_;
    // GTF: the gene_id text and chromosome of the gene stored last, which
    // its exon records repeat ("" when the last gene was not stored).
    std::string geneIdText_, geneChrom_;
};

std::string typeList(const GeneTypeFilter& filter)
{
    std::string list;
    for (const std::string& t : filter.types)
        list += (list.empty() ? "" : ",") + t;
    return list;
}

} // namespace

bool GeneTypeFilter::counts(std::string_view type) const
{
    if (all)
        return true;
    for (const std::string& t : types)
        if (t == type)
            return true;
    return false;
}

bool parseGeneTypes(const std::string& text, GeneTypeFilter& filter, std::string& error)
{
    GeneTypeFilter parsed;
    parsed.types.clear();
    std::string_view rest(text);
    for (;;) {
        const size_t comma = rest.find(',');
        std::string_view part = rest.substr(0, comma);
        const size_t from = part.find_first_not_of(" \t");
        part = from == std::string_view::npos ? std::string_view() : part.substr(from, part.find_last_not_of(" \t") - from + 1);
        if (part == "all")
            parsed.all = true;
        else if (!part.empty())
            parsed.types.emplace_back(part);
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    if (!parsed.all && parsed.types.empty()) {
        error = "-gene-types needs gene type names separated by commas, or all";
        return false;
    }
    filter = std::move(parsed);
    return true;
}

const char* formatName(AnnotationFormat format)
{
    switch (format) {
    case AnnotationFormat::Gtf:
        return "GTF";
    case AnnotationFormat::Gff3:
        return "GFF3";
    case AnnotationFormat::Bed:
        return "BED";
    }
    return "";
}

GeneAnnotation readGeneAnnotation(const std::string& path, const GeneTypeFilter& filter, bool exons)
{
    GeneAnnotation out;
    Reader reader(path, filter, exons, out);
    std::unique_ptr<InputSource> source = openInput(path);
    if (!source) {
        reader.fail("cannot be read (missing, a folder, or not permitted)");
        return out;
    }
    LineReader lines(std::move(source));
    std::string_view s;
    long long lineNo = 0;
    while (!reader.sequenceReached() && lines.next(s))
        if (!reader.line(s, ++lineNo))
            return out;
    reader.wholeFile();
    if (lines.failed()) {
        reader.fail("cannot be read to its end (damaged or cut-off data)");
        return out;
    }
    if (out.geneRecords == 0) {
        reader.fail("holds no gene record");
        return out;
    }
    if (out.index.geneCount() == 0) {
        reader.fail("holds " + std::to_string(out.geneRecords) + " gene records, none of the types " +
                    typeList(filter) + " (see -gene-types; all takes every gene)");
        return out;
    }
    out.index.finish();
    out.build = out.buildNotes.call();
    out.ok = true;
    return out;
}

std::string geneTypeWarning(const GeneAnnotation& annotation, const std::string& path, const GeneTypeFilter& filter)
{
    if (!annotation.ok || filter.all || !annotation.untyped())
        return "";
    const std::string where = annotation.format == AnnotationFormat::Bed
                                  ? "a 7th column of gene types"
                                  : annotation.format == AnnotationFormat::Gff3 ? "gene_type, gene_biotype or biotype attributes" : "gene_type or gene_biotype attributes";
    return "quorlin: warning: -genes '" + path + "': no gene record names its type (" + where +
           "), so -gene-types " + typeList(filter) + " cannot apply: every gene counts\n";
}
