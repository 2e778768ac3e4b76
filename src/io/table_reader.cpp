// Row conversion and chromosome batching. A row whose position or p-value
// field is the missing word is skipped; text that is not a number is read as
// 0 and counted.
#include "table_reader.h"

#include "line_reader.h"
#include "number_parsing.h"
#include "row_pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Where the optional fields sit among the picked ones.
struct OptionalFields {
    int id = -1, filter = -1;
};

class Batcher {
public:
    Batcher(double inlimit, const TableLayout& layout, OptionalFields fields, const BatchHandler& handle,
            ReadNotes& notes, RowObserver* observer)
        : inlimit_(inlimit), minLog10_(-std::log10(inlimit)), log10_(layout.log10Values),
          largestValid_(layout.log10Values ? HUGE_VAL : 1.0), layout_(layout), fields_(fields), handle_(handle),
          notes_(notes), observer_(observer)
    {
    }

    // Hands the rows seen so far to the observer.
    void flushObserved()
    {
        if (observer_ && !seenPositions_.empty())
            observer_->rows(seenPositions_.data(), seenValues_.data(), seenNumbers_.data(), seenPositions_.size());
        seenPositions_.clear();
        seenValues_.clear();
        seenNumbers_.clear();
    }

    // One row's position, p-value and chromosome fields (and the optional
    // ones). Every row handed here counts as accepted until it turns out to
    // be filtered or missing: the common row pays for no counting.
    void add(const std::string_view* f)
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
        bool positionOk = false, pOk = false;
        const int32_t position = toInt32(f[0].data(), f[0].size(), &positionOk);
        const double p = toDouble(f[1].data(), f[1].size(), &pOk);
        if (!(positionOk && pOk && p >= 0 && p <= largestValid_))
            noteOddValues(positionOk, pOk, p);
        if (!started_)
            start(f[2]);
        else if (f[2] != batch_.chromosome)
            switchTo(f[2]);
        if (observer_) {
            seenPositions_.push_back(position);
            seenValues_.push_back(p);
            seenNumbers_.push_back(pOk);
        }
        if (log10_ ? p >= minLog10_ : p <= inlimit_)
            retain(position, p, f);
        if (pOk && (log10_ ? p >= kMinSignificantLog10 : p <= kGenomeWideSignificance && p >= 0))
            noteSignificant(position, p, f);
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

    void retain(int32_t position, double p, const std::string_view* f)
    {
        if (!batch_.positions.empty() && position < batch_.positions.back())
            notes_.unsorted = true;
        batch_.positions.push_back(position);
        batch_.pvalues.push_back(p);
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

    void start(std::string_view name)
    {
        started_ = true;
        if (observer_)
            observer_->chromosome(name);
        batch_.chromosome.assign(name);
        batch_.order = notes_.chromosomes.add(name).first;
    }

    void switchTo(std::string_view name)
    {
        if (observer_) {
            flushObserved();
            observer_->chromosome(name);
        }
        handle_(batch_);
        batch_.positions.clear();
        batch_.pvalues.clear();
        batch_.ids.clear();
        batch_.chromosome.assign(name);
        const auto [order, added] = notes_.chromosomes.add(name);
        batch_.order = order;
        notes_.ungrouped = notes_.ungrouped || !added;
    }

    static inline const double kMinSignificantLog10 = -std::log10(kGenomeWideSignificance);
    const double inlimit_, minLog10_;
    const bool log10_;
    const double largestValid_; // p-values above this are outside their range
    const TableLayout& layout_;
    const OptionalFields fields_;
    const BatchHandler& handle_;
    ReadNotes& notes_;
    RowObserver* const observer_;
    IntVector seenPositions_;
    DoubleVector seenValues_;
    std::vector<uint8_t> seenNumbers_;
    ChromosomeBatch batch_;
    bool started_ = false;
};

} // namespace

bool readTable(std::unique_ptr<InputSource> source, const TableLayout& layout, double inlimit,
               const BatchHandler& handle, ReadNotes& notes, RowObserver* observer)
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
    if (layout.filterColumn > 0) {
        fields.filter = columns.count;
        columns.add(layout.filterColumn);
    }
    RowPipeline rows(std::move(source), layout.separator, columns, layout.headerLines);
    notes.significant.log10Values = layout.log10Values;
    Batcher batcher(inlimit, layout, fields, handle, notes, observer);
    while (const RowBlock* block = rows.next()) {
        notes.acceptedRows += static_cast<long long>(block->rows());
        for (size_t r = 0; r < block->rows(); ++r)
            batcher.add(block->row(r));
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
    batcher.finish();
    return true;
}

double SignificantMarkers::p(const Marker& m) const
{
    return log10Values ? std::pow(10.0, -m.value) : m.value;
}

double SignificantMarkers::log10p(const Marker& m) const
{
    return log10Values ? m.value : -std::log10(m.value);
}

namespace {

// The bytes already read, then the rest of the source.
class ReplaySource : public InputSource {
public:
    ReplaySource(std::string head, std::unique_ptr<InputSource> rest) : head_(std::move(head)), rest_(std::move(rest)) {}

    size_t read(char* buf, size_t cap) override
    {
        if (at_ < head_.size()) {
            const size_t n = std::min(cap, head_.size() - at_);
            std::memcpy(buf, head_.data() + at_, n);
            at_ += n;
            if (at_ == head_.size())
                std::string().swap(head_), at_ = 0;
            return n;
        }
        const size_t n = rest_->read(buf, cap);
        failed_ = rest_->failed();
        return n;
    }

private:
    std::string head_;
    size_t at_ = 0;
    std::unique_ptr<InputSource> rest_;
};

} // namespace

std::unique_ptr<InputSource> peekLine(std::unique_ptr<InputSource> source, int number, std::string& line)
{
    std::string head;
    size_t scanned = 0, lineStart = 0, lineEnd = std::string::npos;
    int found = 0;
    char block[1 << 16];
    while (lineEnd == std::string::npos) {
        for (; scanned < head.size(); ++scanned) {
            if (head[scanned] != '\n')
                continue;
            if (++found == number) {
                lineEnd = scanned;
                break;
            }
            lineStart = scanned + 1;
        }
        if (lineEnd != std::string::npos)
            break;
        const size_t n = source->read(block, sizeof block);
        if (n == 0) {
            if (found == number - 1 && !source->failed())
                lineEnd = head.size(); // a last line without a line end
            else
                lineStart = lineEnd = 0;
            break;
        }
        head.append(block, n);
    }
    line.clear();
    for (size_t k = lineStart; k < lineEnd; ++k)
        if (head[k] != '\r')
            line += head[k];
    return std::make_unique<ReplaySource>(std::move(head), std::move(source));
}

std::optional<std::string> readLineOf(const std::string& path, int number)
{
    auto source = openInput(path);
    if (!source)
        return std::nullopt;
    LineReader lines(std::move(source));
    std::string_view line;
    for (int k = 1; k <= number; ++k)
        if (!lines.next(line))
            return std::string();
    return std::string(line);
}
