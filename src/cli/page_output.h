// A table's page and a list's index page, made from what the run already
// has: the report's rows, the figure, the loci file, the regional figures
// and the messages.
#pragma once
#include "cli/locus_outputs.h"
#include "cli/output_files.h"
#include "cli/page_view.h"
#include "cli/table_job.h"

#include <QByteArray>
#include <map>
#include <string>
#include <vector>

// Marks in wanted the loci whose regional figures the page embeds (lociText:
// the loci file's text, or its first lines).
void markPageFigures(const std::string& lociText, const TableLoci& loci, const TableReading& notes,
                     std::vector<bool>& wanted);

// The numbers a table's page and its list's index row show.
TableFacts tableFacts(const TableReading& notes, const TableLoci& loci, const std::vector<ReportedPeak>& peaks,
                      const std::string& lambda);

// What a table's page shows beyond the outputs' own structures.
struct PageExtras {
    const DrawnFigure* figure = nullptr; // null: none drawn
    PageMarkers* markers = nullptr;      // the view's points (taken); null: no view
    std::map<size_t, std::string> regional; // regionalJson per locus index
    std::string buildText, ldPanelText;
    std::string lociFileName; // the loci file written, for the page's note; empty: none
    double seconds = 0; // elapsed since the table started
};

// lociText: the loci file's text, or its first lines (page::ListedText).
std::string tablePageText(const RunOptions& options, const std::string& table, const std::vector<ReportedPeak>& peaks,
                          const std::string& lociText, const TableLoci& loci, const TableReading& notes,
                          PageExtras&& extras, const std::string& messages, const TableFacts& facts);

// An elapsed time in words: "0.4 s", "12 s", "3 min 05 s", "1 h 02 min".
std::string elapsedText(double seconds);

// One index row of a list's page: a table that was analysed, or one that
// stopped (error holds its message).
struct ListedTable {
    std::string table, page, error;
    TableFacts facts;
    std::string lociText; // its loci file's text, for the study-wide search
};
// seconds: the list's elapsed time.
std::string indexPageText(const RunOptions& options, const std::string& indexPath,
                          const std::vector<ListedTable>& tables, double seconds);
