// The HTML pages of a run: one self-contained page per table (facts, the
// Manhattan and QQ figure, the loci table with its regional figures, the
// peak report, the messages) and an index page over the tables of a list.
// The pages hold plain data only; they fetch nothing (inline style, script
// and SVG, no external link) and work from a file:// address.
#pragma once

#include "page/tsv_text.h"
#include "page/view_data.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace page {

// A locus: its chromosome as written in the loci table and its lead position.
using LocusKey = std::pair<std::string, int64_t>;

struct TablePage {
    std::string tableName;                // as named on the command line or in the list
    std::vector<std::string> commandLine; // the words, program name first
    int64_t rowsRead = 0, rowsUsed = 0, markersRetained = 0, chromosomes = 0;
    int64_t lociWithPeak = 0, lociWithoutPeak = 0, peaks = 0;
    std::string lambdaGcText; // as the figure states it; empty: not computed
    std::string lambdaNote;   // the figure's caveat on it (a pre-filtered table); empty: none
    std::string runTimeText;  // the elapsed time
    std::string versionText;
    std::string buildText;    // the table's genome build in words; empty: no card
    std::string ldPanelText;  // the LD panel's name; empty: no card
    std::string manhattanSvg; // the Manhattan and QQ SVG document; empty: none drawn
    std::string lociTsv;      // the loci table file's text, or its first lines (listedText); empty: no loci
    std::string reportTsv;    // the peak report file's text, or its first lines
    // The rows of the whole loci file and report when lociTsv and reportTsv
    // hold only their first lines; 0: they hold every row.
    size_t lociTotal = 0, reportTotal = 0;
    std::string lociFileName; // the loci file, named in the note on unlisted loci; empty: none written (-loci)
    std::map<LocusKey, std::string> regionalSvgs; // SVG documents by locus
    std::string messages;     // the warning and summary lines (standard error)
    // The interactive views' data; hasView false: the page shows the static
    // figure alone. Its loci are the loci table's rows, in order; regional
    // figures in view.regional take the place of regionalSvgs.
    bool hasView = false;
    ViewData view;
};

struct PageSettings {
    // Regional figures are embedded for at most this many loci, the
    // strongest by lead_log10p (ties: table order)...
    size_t maxRegionalFigures = 200;
    // ...while the whole page stays under this many bytes (the tables' listed
    // rows and the Manhattan figure always go in).
    size_t pageBytes = 4'800'000;
    // The loci table and the peak report show at most this many rows each,
    // the first ones; the page says where the others are.
    size_t maxTableRows = 25'000;
    // ...and only as many as fit in about this many bytes of the page
    // (listedRows), the loci's marks and search data in the view included.
    size_t tableBytes = 1'500'000;
    // The Manhattan view's points take at most about this many bytes (the
    // strongest markers; the others join the thinned layer), on top of
    // pageBytes, so that the page of any table stays under 10 MB.
    size_t pointBytes = 4'000'000;
};

// How many of the table's first rows the page lists: at most maxTableRows,
// while their estimated share of the page stays within tableBytes.
size_t listedRows(const TsvTable& table, const PageSettings& settings = PageSettings());

// Keeps the first lines of a text handed over in pieces, enough for the page
// to list what listedRows allows (the header and at most maxTableRows lines,
// stopping once the lines past the header hold tableBytes), so that a caller
// never needs the whole text of a long table.
class ListedText {
public:
    explicit ListedText(const PageSettings& settings = PageSettings())
        : lines_(settings.maxTableRows + 1), bytes_(settings.tableBytes) {}
    void add(const std::string& piece);
    const std::string& text() const { return text_; }
    bool full() const { return full_; }

private:
    size_t lines_, bytes_;
    size_t held_ = 0;   // whole lines in text_
    size_t header_ = 0; // the first line's bytes
    bool full_ = false;
    std::string text_;
};

// One HTML5 document, UTF-8.
std::string tablePage(const TablePage& table, const PageSettings& settings = PageSettings());

// The loci (strongest first) whose regional figures tablePage embeds when
// it has them: a caller need only gather the SVG text of these.
std::vector<LocusKey> figureLoci(const std::string& lociTsv, const PageSettings& settings = PageSettings());

struct IndexRow {
    std::string name;  // the table as named in the list
    std::string link;  // its page, relative to the index page
    int64_t rows = 0, lociWithPeak = 0, lociWithoutPeak = 0, peaks = 0;
    std::string strongestLocus;  // lead id or chrom:position of the strongest locus; empty: none
    std::string strongestLog10p; // its lead_log10p as the loci table writes it
    std::string lambdaGcText;
    std::string error; // not empty: the table stopped with this message, and has no page
    std::string lambdaNote; // the figure's caveat on lambdaGcText; empty: none
};

struct IndexInfo {
    std::string title = "Quorlin results";
    std::vector<std::string> commandLine;
    std::string runTimeText, versionText;
    // The study-wide loci table's text (columns table, chrom, start, end,
    // lead_id, status and, when annotated, nearest_gene and genes); empty:
    // the page has no study-wide search.
    std::string studyLociTsv;
};

// One HTML5 document with a sortable row per table, in the given order.
std::string indexPage(const std::vector<IndexRow>& rows, const IndexInfo& info);

} // namespace page
