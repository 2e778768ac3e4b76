// A table's page and a list's index page, made from what the run already
// has: the report's rows, the figure, the loci file, the regional figures
// and the messages.
#pragma once
#include "cli/locus_outputs.h"
#include "cli/output_files.h"
#include "cli/table_job.h"

#include <QByteArray>
#include <string>
#include <vector>

// Marks in wanted the loci whose regional figures the page embeds.
void markPageFigures(const std::string& lociText, const TableLoci& loci, const TableReading& notes,
                     std::vector<bool>& wanted);

// The numbers a table's page and its list's index row show.
TableFacts tableFacts(const TableReading& notes, const TableLoci& loci, const std::vector<ReportedPeak>& peaks,
                      const std::string& lambda);

std::string tablePageText(const RunOptions& options, const std::string& table, const std::vector<ReportedPeak>& peaks,
                          const DrawnFigure* figure, const std::string& lociText, const TableLoci& loci,
                          const TableReading& notes, const std::vector<QByteArray>& regional, const std::string& messages,
                          const TableFacts& facts);

// One index row of a list's page: a table that was analysed, or one that
// stopped (error holds its message).
struct ListedTable {
    std::string table, page, error;
    TableFacts facts;
};
std::string indexPageText(const RunOptions& options, const std::string& indexPath,
                          const std::vector<ListedTable>& tables);
