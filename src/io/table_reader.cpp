// Row conversion and chromosome batching. A row whose position or p-value
// field is the missing word is skipped; text that is not a number is read as
// 0 and counted.
#include "table_reader.h"

#include "number_parsing.h"
#include "row_pipeline.h"

namespace {

class Batcher {
public:
    Batcher(double inlimit, const TableLayout& layout, const BatchHandler& handle, ReadNotes& notes)
        : inlimit_(inlimit), missing_(layout.missing), withIds_(layout.idColumn > 0), handle_(handle),
          notes_(notes)
    {
    }

    // One row's position, p-value and chromosome fields (and its id).
    void add(const std::string_view* f)
    {
        if (f[1] == missing_ || f[0] == missing_)
            return;
        bool positionOk = false, pOk = false;
        const int32_t position = toInt32(f[0].data(), f[0].size(), &positionOk);
        const double p = toDouble(f[1].data(), f[1].size(), &pOk);
        notes_.badPositions += !positionOk;
        notes_.badPvalues += !pOk;
        notes_.outsidePvalues += pOk && !(p >= 0 && p <= 1);
        notes_.usableRows += positionOk && pOk;
        ++notes_.acceptedRows;
        if (!started_)
            start(f[2]);
        else if (f[2] != batch_.chromosome)
            switchTo(f[2]);
        if (p <= inlimit_)
            retain(position, p, f);
        if (pOk && p >= 0 && p <= kGenomeWideSignificance)
            notes_.significant.push_back({batch_.chromosome, withIds_ ? std::string(f[3]) : std::string(), position, p});
    }

    // Hands over the batch still held (with an empty name when no row was
    // accepted).
    void finish() { handle_(batch_); }

private:
    void retain(int32_t position, double p, const std::string_view* f)
    {
        if (!batch_.positions.empty() && position < batch_.positions.back())
            notes_.unsorted = true;
        batch_.positions.push_back(position);
        batch_.pvalues.push_back(p);
        if (withIds_)
            batch_.ids.emplace_back(f[3]);
        ++notes_.retained;
    }

    void start(std::string_view name)
    {
        started_ = true;
        batch_.chromosome.assign(name);
        notes_.chromosomes.insert(batch_.chromosome);
    }

    void switchTo(std::string_view name)
    {
        handle_(batch_);
        batch_.positions.clear();
        batch_.pvalues.clear();
        batch_.ids.clear();
        batch_.chromosome.assign(name);
        if (!notes_.chromosomes.insert(batch_.chromosome).second)
            notes_.ungrouped = true;
    }

    const double inlimit_;
    const std::string& missing_;
    const bool withIds_;
    const BatchHandler& handle_;
    ReadNotes& notes_;
    ChromosomeBatch batch_;
    bool started_ = false;
};

} // namespace

bool readTable(std::unique_ptr<InputSource> source, const TableLayout& layout, double inlimit,
               const BatchHandler& handle, ReadNotes& notes)
{
    PickedColumns columns;
    columns.add(layout.positionColumn);
    columns.add(layout.pvalueColumn);
    columns.add(layout.chromosomeColumn);
    if (layout.idColumn > 0)
        columns.add(layout.idColumn);
    RowPipeline rows(std::move(source), layout.separator, columns, layout.headerLines);
    Batcher batcher(inlimit, layout, handle, notes);
    while (const RowBlock* block = rows.next())
        for (size_t r = 0; r < block->rows(); ++r)
            batcher.add(block->row(r));
    notes.shortRows = rows.shortRows();
    notes.dataRows = rows.dataRows();
    notes.innerCarriageReturns = rows.innerCarriageReturns();
    notes.emptyInput = rows.inputEmpty();
    if (rows.failed())
        return false;
    batcher.finish();
    return true;
}
