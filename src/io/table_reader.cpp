// Row conversion and chromosome batching. A row whose position or p-value
// field is the missing word is skipped; text that is not a number is read as
// 0 and counted. Loci candidates are noted on the way: the common row pays
// one comparison for them, and only a candidate's row has its carried
// fields split out, from its whole line. A p written as zero reads as the
// smallest positive double; any other p below the doubles' normal range keeps
// the -log10 of its text, and only such a row pays for it.
#include "io/table_reader.h"

#include "io/field_numbers.h"
#include "io/line_reader.h"
#include "io/number_parsing.h"
#include "io/row_pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <unordered_map>

namespace {

// Where the optional fields sit among the picked ones.
struct OptionalFields {
    int id = -1, filter = -1, line = -1, probeId = -1;
};

// The carried columns, picked from a candidate's line: the distinct columns,
// and the slot of each carried one among them (-1 beyond kMaxCarried
// distinct columns, or for a number below 1: never filled).
struct CarriedPick {
    PickedColumns columns;
    std::vector<int> slots;

    explicit CarriedPick(const std::vector<int>& carried)
    {
        for (int column : carried) {
            int slot = 0;
            while (slot < columns.count && columns.number[slot] != column)
                ++slot;
            if (column < 1 || (slot == columns.count && columns.count == kMaxCarried))
                slot = -1;
            else if (slot == columns.count)
                columns.add(column);
            slots.push_back(slot);
        }
    }
};

// Appends a field to a candidate's text, tabs as blanks.
void appendText(std::string& text, std::string_view field)
{
    const size_t at = text.size();
    text.append(field);
    for (size_t k = at; k < text.size(); ++k)
        if (text[k] == '\t')
            text[k] = ' ';
}

class Batcher {
public:
    Batcher(double inlimit, const TableLayout& layout, OptionalFields fields, const BatchHandler& handle,
            TableReading& notes, RowObserver* observer, RowProbe* probe)
        : inlimit_(inlimit), minLog10_(-std::log10(inlimit)), log10_(layout.log10Values),
          largestValid_(layout.log10Values ? HUGE_VAL : 1.0), lociP_(std::max(layout.lociThreshold, layout.lociMemberThreshold)),
          lociMinLog10_(-std::log10(lociP_)),
          rareP_(std::max({inlimit_, kGenomeWideSignificance, lociP_})),
          rareLog10_(std::min({minLog10_, kMinSignificantLog10, lociMinLog10_})), layout_(layout),
          common_(log10_ ? -1.0 : rareP_, log10_ ? std::nextafter(rareLog10_, -HUGE_VAL) : 1.0), fields_(fields),
          carried_(layout.carriedColumns), handle_(handle), notes_(notes), observer_(observer), probe_(probe)
    {
        batch_.valuesAreLog10 = log10_;
    }

    // Hands the rows seen so far to the observer.
    void flushObserved()
    {
        if (observer_ && seen_.size() > 0)
            observer_->rows(seen_);
        seen_.positions.clear();
        seen_.values.clear();
        seen_.numbers.clear();
        seen_.exact.clear();
    }

    // One row's position, p-value and chromosome fields (and the optional
    // ones), with the position as the reading thread read it, and the
    // p-value's decimal when that thread read it too. Every row handed here
    // counts as accepted until it turns out to be filtered or missing: the
    // common row pays for no counting.
    void add(const std::string_view* f, int64_t integer, const PlainDecimal* decimalRead)
    {
        if (fields_.filter >= 0 && f[fields_.filter] != layout_.filterValue) {
            ++notes_.filteredRows;
            --notes_.acceptedRows;
            return;
        }
        if (f[1] == layout_.missing || f[0] == layout_.missing ||
            (!layout_.missingPosition.empty() && f[0] == layout_.missingPosition)) {
            --notes_.acceptedRows;
            return;
        }
        bool pOk = false;
        const bool positionOk = integer != RowBlock::kNoInteger;
        const int32_t position = positionOk ? static_cast<int32_t>(integer) : 0;
        double p;
        PlainDecimal decimal;
        bool plain;
        if (decimalRead) {
            decimal = *decimalRead;
            plain = decimal.exp10 != RowBlock::kNotPlain;
        } else {
            plain = readPlainDecimal(f[1].data(), f[1].size(), decimal);
        }
        if (plain) {
            // The common row is told from the digits; only an observer
            // needs its double.
            if (positionOk && common_.holds(decimal)) {
                addCommon(position, observer_ ? decimalValue(decimal) : 0.0, f);
                return;
            }
            p = decimalValue(decimal);
            pOk = true;
        } else {
            p = toDouble(f[1].data(), f[1].size(), &pOk);
        }
        if (positionOk && pOk && p >= 0 && (log10_ ? p < rareLog10_ : p > rareP_ && p <= 1.0)) {
            addCommon(position, p, f);
            return;
        }
        if (!(positionOk && pOk && p >= 0 && p <= largestValid_))
            noteOddValues(positionOk, pOk, p);
        // 0 when the p-value's double holds it; else its -log10 from the text.
        double exact = 0;
        if (p < kSmallestNormal && p >= 0 && !log10_ && pOk)
            exact = belowNormal(f[1], p);
        if (!started_)
            start(f[2]);
        else if (!chromosomeName_.matches(f[2]))
            switchTo(f[2]);
        if (probe_ && positionOk)
            probe_->row(position, fields_.probeId >= 0 ? f[fields_.probeId] : std::string_view());
        if (observer_) {
            if (exact > 0)
                seen_.exact.push_back({static_cast<uint32_t>(seen_.size()), exact});
            seen_.positions.push_back(position);
            seen_.values.push_back(p);
            seen_.numbers.push_back(pOk);
        }
        // The thresholds are compared with p as read: text below the normal
        // range reads as a positive double below every one of them.
        if (log10_ ? p >= minLog10_ : p <= inlimit_)
            retain(position, p, exact, f);
        if (pOk && (log10_ ? p >= kMinSignificantLog10 : p <= kGenomeWideSignificance && p >= 0))
            noteSignificant(position, exact > 0 ? -exact : p, f);
        if (pOk && positionOk && (log10_ ? p >= lociMinLog10_ : p <= lociP_ && p >= 0))
            noteCandidate(position, exact > 0 ? -exact : p, f);
    }

    // A usable row weaker than every threshold (most rows): it is neither
    // retained, significant nor a candidate, and its p is a normal double.
    void addCommon(int32_t position, double p, const std::string_view* f)
    {
        if (!started_)
            start(f[2]);
        else if (!chromosomeName_.matches(f[2]))
            switchTo(f[2]);
        if (probe_)
            probe_->row(position, fields_.probeId >= 0 ? f[fields_.probeId] : std::string_view());
        if (observer_) {
            seen_.positions.push_back(position);
            seen_.values.push_back(p);
            seen_.numbers.push_back(true);
        }
    }

    // Hands over the batch still held (with an empty name when no row was
    // accepted).
    void finish() { handle_(batch_); }

private:
    void noteOddValues(bool positionOk, bool pOk, double p)
    {
        notes_.badPositions += !positionOk;
        notes_.badPvalues += !pOk;
        notes_.outsidePvalues += pOk && !(p >= 0 && p <= largestValid_);
        notes_.unusableRows += !(positionOk && pOk);
    }

    // A p-value of a p column below the normal range (0 <= p < the smallest
    // normal double): a zero becomes the smallest positive double, and 0 is
    // returned; any other gives the -log10(p) of its text.
    double belowNormal(std::string_view text, double& p)
    {
        if (p == 0) {
            ++notes_.zeroPvalues;
            p = std::numeric_limits<double>::denorm_min();
            return 0;
        }
        return minusLog10OfText(text.data(), text.size());
    }

    // Keeps a marker: p as read, or with exact > 0 the -log10(p) of its
    // text, which turns the run's values into -log10(p).
    void retain(int32_t position, double p, double exact, const std::string_view* f)
    {
        if (!batch_.positions.empty() && position < batch_.positions.back())
            notes_.unsorted = true;
        if (exact > 0)
            toLog10Values(batch_);
        batch_.positions.push_back(position);
        batch_.pvalues.push_back(exact > 0 ? exact : batch_.valuesAreLog10 && !log10_ ? negativeLog10(p) : p);
        if (fields_.id >= 0)
            batch_.ids.emplace_back(f[fields_.id]);
        ++notes_.retained;
    }

    void noteSignificant(int32_t position, double value, const std::string_view* f)
    {
        SignificantMarkers& s = notes_.significant;
        if (s.chromosomes.empty() || s.chromosomes.back() != batch_.chromosome)
            s.chromosomes.push_back(batch_.chromosome);
        const std::string_view id = fields_.id >= 0 ? f[fields_.id] : std::string_view();
        s.markers.push_back({static_cast<uint32_t>(s.chromosomes.size() - 1), position, value,
                             static_cast<uint32_t>(s.ids.size()), static_cast<uint32_t>(id.size())});
        s.ids.append(id);
    }

    void noteCandidate(int32_t position, double value, const std::string_view* f)
    {
        LociCandidates& c = notes_.candidates;
        c.candidates.push_back({position, candidateChromosome(), value, c.text.size()});
        if (fields_.id >= 0)
            appendText(c.text, f[fields_.id]);
        if (carried_.slots.empty())
            return;
        // A field the row does not reach keeps its null view.
        std::string_view picked[PickedColumns::kMax] = {};
        pickFields(f[fields_.line], layout_.separator, carried_.columns, picked);
        for (int slot : carried_.slots) {
            c.text += '\t';
            if (slot >= 0 && picked[slot].data())
                appendText(c.text, picked[slot]);
            else
                c.text += "NA";
        }
    }

    // The index of the current chromosome among those with candidates; a
    // chromosome gets one at its first candidate.
    uint32_t candidateChromosome()
    {
        if (chromosomeIndex_ != kUnknownChromosome)
            return chromosomeIndex_;
        LociCandidates& c = notes_.candidates;
        const auto [it, added] = chromosomeIndexes_.emplace(batch_.order, static_cast<uint32_t>(c.chromosomes.size()));
        if (added) {
            c.chromosomes.push_back(batch_.chromosome);
            candidateOrders_.push_back(batch_.order);
        }
        return chromosomeIndex_ = it->second;
    }

public:
    // Puts the candidates' chromosomes in the order the table first names
    // them (a chromosome may have its first candidate after a later one's).
    void orderCandidateChromosomes()
    {
        LociCandidates& c = notes_.candidates;
        std::vector<uint32_t> byOrder(c.chromosomes.size());
        std::iota(byOrder.begin(), byOrder.end(), 0u);
        std::sort(byOrder.begin(), byOrder.end(),
                  [&](uint32_t a, uint32_t b) { return candidateOrders_[a] < candidateOrders_[b]; });
        std::vector<uint32_t> renumber(byOrder.size());
        std::vector<std::string> names(byOrder.size());
        for (uint32_t k = 0; k < byOrder.size(); ++k) {
            renumber[byOrder[k]] = k;
            names[k] = std::move(c.chromosomes[byOrder[k]]);
        }
        c.chromosomes = std::move(names);
        for (LociCandidates::Candidate& m : c.candidates)
            m.chromosome = renumber[m.chromosome];
    }

private:

    void start(std::string_view name)
    {
        started_ = true;
        if (observer_)
            observer_->chromosome(name);
        if (probe_)
            probe_->chromosome(name);
        batch_.chromosome.assign(name);
        chromosomeName_ = FieldText(batch_.chromosome);
        batch_.order = notes_.chromosomes.add(name).first;
        batch_.valuesAreLog10 = log10_;
        chromosomeIndex_ = kUnknownChromosome;
    }

    void switchTo(std::string_view name)
    {
        if (observer_) {
            flushObserved();
            observer_->chromosome(name);
        }
        if (probe_)
            probe_->chromosome(name);
        handle_(batch_);
        batch_.positions.clear();
        batch_.pvalues.clear();
        batch_.ids.clear();
        batch_.valuesAreLog10 = log10_;
        batch_.chromosome.assign(name);
        chromosomeName_ = FieldText(batch_.chromosome);
        const auto [order, added] = notes_.chromosomes.add(name);
        batch_.order = order;
        notes_.ungrouped = notes_.ungrouped || !added;
        chromosomeIndex_ = kUnknownChromosome; // looked up at its first candidate
    }

    static inline const double kMinSignificantLog10 = -std::log10(kGenomeWideSignificance);
    const double inlimit_, minLog10_;
    const bool log10_;
    const double largestValid_; // p-values above this are outside their range
    const double lociP_, lociMinLog10_;
    // A p above rareP_ (a -log10(p) below rareLog10_) meets no threshold:
    // at least 5e-8, so its double is normal and exact.
    const double rareP_, rareLog10_;
    const TableLayout& layout_;
    // The plain decimals of common rows: p-values in (rareP_, 1], or
    // -log10(p) values in [0, rareLog10_).
    const DecimalInterval common_;
    const OptionalFields fields_;
    const CarriedPick carried_;
    const BatchHandler& handle_;
    TableReading& notes_;
    RowObserver* const observer_;
    RowProbe* const probe_;
    ObservedRows seen_;
    ChromosomeBatch batch_;
    FieldText chromosomeName_; // batch_.chromosome, for comparing fields with it
    bool started_ = false;
    static constexpr uint32_t kUnknownChromosome = UINT32_MAX;
    uint32_t chromosomeIndex_ = kUnknownChromosome; // of batch_.chromosome among the candidates' names
    std::unordered_map<int, uint32_t> chromosomeIndexes_; // a chromosome's order -> its candidate index
    std::vector<int> candidateOrders_;                    // per candidate index, the chromosome's order
};

} // namespace

bool readTable(std::unique_ptr<InputSource> source, const TableLayout& layout, double inlimit,
               const BatchHandler& handle, TableReading& notes, RowObserver* observer, RowProbe* probe)
{
    PickedColumns columns;
    columns.add(layout.positionColumn);
    columns.add(layout.pvalueColumn);
    columns.add(layout.chromosomeColumn);
    OptionalFields fields;
    if (layout.idColumn > 0) {
        fields.id = columns.count;
        columns.add(layout.idColumn);
    }
    if (probe)
        fields.probeId = fields.id;
    // A probe column past the largest column read would make shorter rows
    // short, and short rows are skipped: it is then not read.
    if (probe && fields.id < 0 && layout.probeIdColumn > 0 && layout.probeIdColumn <= columns.largest) {
        fields.probeId = columns.count;
        columns.add(layout.probeIdColumn);
    }
    if (layout.filterColumn > 0) {
        fields.filter = columns.count;
        columns.add(layout.filterColumn);
    }
    const bool keepLines = !layout.carriedColumns.empty();
    if (keepLines)
        fields.line = columns.count;
    RowPipeline rows(std::move(source), layout.separator, columns, layout.headerLines, keepLines);
    notes.significant.log10Values = layout.log10Values;
    notes.candidates.log10Values = layout.log10Values;
    notes.candidates.carried = static_cast<int>(layout.carriedColumns.size());
    Batcher batcher(inlimit, layout, fields, handle, notes, observer, probe);
    while (const RowBlock* block = rows.next()) {
        notes.acceptedRows += static_cast<long long>(block->rows());
        for (size_t r = 0; r < block->rows(); ++r)
            batcher.add(block->row(r), block->integers[r], block->decimalsRead ? &block->decimals[r] : nullptr);
        batcher.flushObserved();
    }
    notes.usableRows = notes.acceptedRows - notes.unusableRows;
    notes.shortRows = rows.shortRows();
    notes.dataRows = rows.dataRows();
    notes.innerCarriageReturns = rows.innerCarriageReturns();
    notes.emptyInput = rows.inputEmpty();
    notes.firstRow = rows.firstRow();
    if (rows.failed())
        return false;
    batcher.orderCandidateChromosomes();
    batcher.finish();
    return true;
}

void toLog10Values(ChromosomeBatch& batch)
{
    if (batch.valuesAreLog10)
        return;
    batch.pvalues = negativeLog10(std::move(batch.pvalues));
    batch.valuesAreLog10 = true;
}

double SignificantMarkers::p(const Marker& m) const
{
    return log10Values ? std::pow(10.0, -m.value) : m.value < 0 ? std::pow(10.0, m.value) : m.value;
}

double SignificantMarkers::log10p(const Marker& m) const
{
    return log10Values ? m.value : m.value < 0 ? -m.value : -std::log10(m.value);
}
