// The page of one table.
#include "page/table_page.h"

#include "page/html_text.h"
#include "page/page_assets.h"
#include "page/page_frame.h"
#include "page/report_columns.h"
#include "page/tsv_text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <set>

namespace page {

namespace {

// The settings.maxRegionalFigures strongest of the rows the page lists, by
// lead_log10p (ties: table order), with their locus keys; rows whose lead position is not a
// whole number take a rank but have no key (found false).
struct RankedLocus {
    size_t row;
    LocusKey key;
    bool found;
};

std::vector<RankedLocus> strongestLoci(const TsvTable& loci, const PageSettings& settings)
{
    std::vector<RankedLocus> out;
    const int chrom = loci.column("chrom"), lead = loci.column("lead_position"), log10p = loci.column("lead_log10p");
    if (chrom < 0 || lead < 0)
        return out;
    std::vector<size_t> order(listedRows(loci, settings)); // the rows the page lists
    std::iota(order.begin(), order.end(), size_t(0));
    if (log10p >= 0) {
        std::vector<double> strength(order.size());
        for (size_t i = 0; i < order.size(); ++i)
            strength[i] = strengthValue(loci.rows[i][static_cast<size_t>(log10p)]);
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return strength[a] > strength[b]; });
    }
    order.resize(std::min(order.size(), settings.maxRegionalFigures));
    for (const size_t i : order) {
        const std::string& position = loci.rows[i][static_cast<size_t>(lead)];
        char* stop = nullptr;
        const long long value = std::strtoll(position.c_str(), &stop, 10);
        const bool whole = !position.empty() && *stop == '\0';
        out.push_back({i, LocusKey(loci.rows[i][static_cast<size_t>(chrom)], whole ? value : 0), whole});
    }
    return out;
}

// The figure text per row index (empty: none) of the strongest loci that
// have a figure, while the byte budget lasts: the cleaned SVG, or with the
// view the regional figure's JSON; counts the figures left out for the
// budget.
std::vector<std::string> chooseFigures(const TsvTable& loci, const TablePage& table, const PageSettings& settings,
                                       size_t budget, size_t& leftOutForSize)
{
    std::vector<std::string> figures(loci.rows.size());
    leftOutForSize = 0;
    if (table.regionalSvgs.empty() && table.view.regional.empty())
        return figures;
    size_t bytes = 0;
    for (const RankedLocus& locus : strongestLoci(loci, settings)) {
        std::string text;
        if (const auto data = table.view.regional.find(locus.row); data != table.view.regional.end()) {
            text = data->second;
        } else {
            const auto found = locus.found ? table.regionalSvgs.find(locus.key) : table.regionalSvgs.end();
            if (found != table.regionalSvgs.end())
                text = inlineSvg(found->second);
        }
        if (text.empty())
            continue;
        if (bytes + text.size() > budget) {
            ++leftOutForSize;
            continue;
        }
        bytes += text.size();
        figures[locus.row] = std::move(text);
    }
    return figures;
}

void facts(std::string& out, const TablePage& t)
{
    out += "<div class=\"facts\">\n";
    fact(out, "Rows read", groupDigits(t.rowsRead));
    fact(out, "Rows used", groupDigits(t.rowsUsed));
    fact(out, "Markers retained", groupDigits(t.markersRetained));
    fact(out, "Chromosomes", groupDigits(t.chromosomes));
    fact(out, "Loci with a peak", groupDigits(t.lociWithPeak));
    fact(out, "Loci without a peak", groupDigits(t.lociWithoutPeak));
    fact(out, "Peaks", groupDigits(t.peaks));
    fact(out, "\u03bbGC", t.lambdaGcText.empty() ? std::string("not computed")
                          : t.lambdaNote.empty() ? t.lambdaGcText
                                                 : t.lambdaGcText + " (" + t.lambdaNote + ")");
    fact(out, "Run time", t.runTimeText);
    if (!t.buildText.empty())
        fact(out, "Genome build", t.buildText);
    if (!t.ldPanelText.empty())
        fact(out, "LD panel", t.ldPanelText);
    out += "</div>\n";
}

void lociSection(std::string& out, const TablePage& t, const PageSettings& settings, const TsvTable& loci,
                 const std::vector<std::string>& figures, size_t leftOut)
{
    out += "<section id=\"loci-section\">\n<h2>Loci</h2>\n";
    if (loci.header.empty()) {
        out += "<p>No loci table.</p>\n</section>\n";
        return;
    }
    const size_t shown = listedRows(loci, settings);
    const size_t total = std::max(t.lociTotal, loci.rows.size());
    const int status = loci.column("status"), lead = loci.column("lead_id");
    if (total > settings.maxRegionalFigures && (!t.regionalSvgs.empty() || !t.view.regional.empty()))
        out += "<p class=\"note\">" + groupDigits(static_cast<int64_t>(total)) +
               " loci: this page embeds the regional figures of the " +
               groupDigits(static_cast<int64_t>(settings.maxRegionalFigures)) +
               " strongest (by lead_log10p); the others are in the regional figure folder.</p>\n";
    if (total > shown)
        out += "<p class=\"note\" id=\"loci-unlisted\">" + groupDigits(static_cast<int64_t>(total)) +
               " loci: this page lists the first " + groupDigits(static_cast<int64_t>(shown)) +
               " to stay small; every locus is in the loci file" +
               (t.lociFileName.empty() ? std::string(" that -loci writes") : " " + escapeHtml(t.lociFileName)) +
               ".</p>\n";
    if (leftOut > 0)
        out += "<p class=\"note\">" + groupDigits(static_cast<int64_t>(leftOut)) +
               " more regional figures are left out to keep this page small; they are in the regional figure "
               "folder.</p>\n";

    out += "<div class=\"controls\">";
    if (status >= 0) {
        std::set<std::string> statuses;
        for (size_t i = 0; i < shown; ++i)
            statuses.insert(loci.rows[i][static_cast<size_t>(status)]);
        out += "<label>Status <select id=\"status-filter\"><option value=\"\">all</option>";
        for (const std::string& s : statuses)
            out += "<option value=\"" + escapeHtml(s) + "\">" + escapeHtml(s) + "</option>";
        out += "</select></label>";
    }
    if (lead >= 0)
        out += "<label>Lead id <input type=\"search\" id=\"lead-search\" placeholder=\"search\"></label>";
    out += "<span id=\"shown-count\">" + groupDigits(static_cast<int64_t>(shown)) +
           " loci</span><span class=\"meta hint\">Click a header to sort, a row to show its regional figure.</span>";
    out += "</div>\n";

    out += "<div class=\"scroll\"><table id=\"loci-table\" class=\"sortable\">\n<thead><tr>"
           "<th scope=\"col\" class=\"fig\"><span hidden>Figure</span></th>";
    for (size_t c = 0; c < loci.header.size(); ++c)
        sortableHeader(out, static_cast<int>(c + 1), loci.header[c]);
    out += "</tr></thead>\n<tbody>\n";
    // Natural chromosome order (1..22, X, Y, XY, MT, then the others).
    std::vector<std::string> chromosomeOfRow(shown);
    const int chrom = loci.column("chrom");
    for (size_t i = 0; i < shown && chrom >= 0; ++i)
        chromosomeOfRow[i] = loci.rows[i][static_cast<size_t>(chrom)];
    for (const size_t i : naturalRowOrder(chromosomeOfRow)) {
        const auto& row = loci.rows[i];
        out += "<tr class=\"item\" data-k=\"" + std::to_string(i) + "\"";
        if (status >= 0)
            out += " data-status=\"" + escapeHtml(row[static_cast<size_t>(status)]) + "\"";
        if (lead >= 0)
            out += " data-lead=\"" + escapeHtml(row[static_cast<size_t>(lead)]) + "\"";
        if (!figures[i].empty())
            out += std::string(t.view.regional.count(i) ? " data-reg=\"" : " data-fig=\"fig-") + std::to_string(i) +
                   "\"><td class=\"fig\"><button type=\"button\" class=\"toggle\" aria-expanded=\"false\" "
                   "aria-label=\"Regional figure\">+</button></td>";
        else
            out += "><td class=\"fig\"></td>";
        for (const std::string& field : row)
            dataCell(out, field);
        out += "</tr>\n";
    }
    out += "</tbody>\n</table></div>\n";
    for (size_t i = 0; i < shown; ++i)
        if (!figures[i].empty() && !t.view.regional.count(i))
            out += "<template id=\"fig-" + std::to_string(i) + "\">" + figures[i] + "</template>\n";
    out += "</section>\n";
}

void reportSection(std::string& out, const TablePage& t, const PageSettings& settings)
{
    out += "<section id=\"report-section\">\n<h2>Peak report</h2>\n";
    const TsvTable report = parseTsv(t.reportTsv);
    if (report.header.empty()) {
        out += "<p>No peak report.</p>\n</section>\n";
        return;
    }
    const size_t shown = listedRows(report, settings);
    const size_t total = std::max(t.reportTotal, report.rows.size());
    out += "<p class=\"meta\">" + groupDigits(static_cast<int64_t>(total)) +
           " peaks in the order they were found.<span class=\"hint\"> Hover a header for its meaning.</span></p>\n";
    out += "<div class=\"scroll\"><table id=\"report-table\" class=\"sortable\">\n<thead><tr>";
    for (size_t c = 0; c < report.header.size(); ++c) {
        const std::string& name = report.header[c];
        const int occurrence = static_cast<int>(std::count(report.header.begin(), report.header.begin() + c, name));
        sortableHeader(out, static_cast<int>(c), name, reportColumnMeaning(name, occurrence));
    }
    out += "</tr></thead>\n<tbody>\n";
    for (size_t i = 0; i < shown; ++i) {
        const auto& row = report.rows[i];
        out += "<tr class=\"item\">";
        for (const std::string& field : row)
            dataCell(out, field);
        out += "</tr>\n";
    }
    out += "</tbody>\n</table></div>\n";
    if (shown < total)
        out += "<p class=\"note\">" + groupDigits(static_cast<int64_t>(total)) +
               " peaks: this page lists the first " + groupDigits(static_cast<int64_t>(shown)) +
               " to stay small; every peak is in the report.</p>\n";
    out += "</section>\n";
}

// The Manhattan view (with the static figure folded below it), or the
// static figure alone.
void figureSection(std::string& out, const TablePage& t, const std::vector<std::string>& figures)
{
    const std::string figure = inlineSvg(t.manhattanSvg);
    if (!t.hasView) {
        out += "<section id=\"figure-section\">\n<h2>Manhattan and QQ plot</h2>\n";
        out += figure.empty() ? "<p>No figure was drawn for this table.</p>\n" : "<figure>" + figure + "</figure>\n";
        out += "</section>\n";
        return;
    }
    out += "<section id=\"figure-section\">\n<h2>Manhattan plot</h2>\n<div class=\"controls\" role=\"search\">"
           "<label>Find <input type=\"search\" id=\"search\" placeholder=\"gene, rsID or chr:pos\" "
           "autocomplete=\"off\"></label><button type=\"button\" id=\"reset-zoom\">Whole genome</button>"
           "<button type=\"button\" class=\"export\" data-figure=\"manhattan-view\">SVG</button>"
           "<span id=\"search-status\" role=\"status\" aria-live=\"polite\"></span></div>\n"
           "<div id=\"manhattan-view\" class=\"view\"></div>\n"
           "<p class=\"meta hint\">Hover a point for its marker; click a chromosome or drag across the plot to zoom; "
           "click a locus mark (a triangle) for its regional view.</p>\n"
           "<div id=\"regional-view\" class=\"view\" hidden></div>\n"
           "<div id=\"tooltip\" role=\"tooltip\" hidden></div>\n";
    if (t.view.pointsLeftOut > 0)
        out += "<p class=\"note\">" + groupDigits(static_cast<int64_t>(t.view.pointsLeftOut)) +
               " weaker markers are drawn in the thinned layer, without a hover card, to keep this page small; "
               "every marker with -log10 p at or above " + jsonNumber(std::round(-std::log10(t.view.pointLimit) * 100) / 100) +
               " is a point.</p>\n";
    if (!figure.empty())
        out += "<details><summary>The Manhattan and QQ figure</summary><figure>" + figure + "</figure></details>\n";
    std::vector<size_t> embedded;
    for (size_t i = 0; i < figures.size(); ++i)
        if (!figures[i].empty() && t.view.regional.count(i))
            embedded.push_back(i);
    out += "<script type=\"application/json\" id=\"view-data\">" + viewJson(t.view, embedded) + "</script>\n";
    out += "</section>\n";
}

} // namespace

namespace {

std::string composePage(const TablePage& t, const PageSettings& settings, size_t figureBudget)
{
    std::string out;
    out.reserve(std::min<size_t>(t.manhattanSvg.size() + 2 * (t.lociTsv.size() + t.reportTsv.size()) +
                                     t.messages.size() + 65536,
                                 settings.pageBytes + (16 << 20)));
    openDocument(out, "Quorlin: " + t.tableName);
    out += "<header>\n<h1>" + escapeHtml(t.tableName) + "</h1>\n";
    facts(out, t);
    out += "<div class=\"cmd\">" + escapeHtml(commandText(t.commandLine)) + "</div>\n</header>\n";

    const TsvTable loci = parseTsv(t.lociTsv);
    size_t leftOut = 0;
    const std::vector<std::string> figures = chooseFigures(loci, t, settings, figureBudget, leftOut);
    figureSection(out, t, figures);
    lociSection(out, t, settings, loci, figures, leftOut);
    reportSection(out, t, settings);

    out += "<section id=\"messages-section\">\n<h2>Warnings and summary</h2>\n";
    out += t.messages.empty() ? std::string("<p>None.</p>\n")
                              : "<pre class=\"messages\">" + escapeHtml(t.messages) + "</pre>\n";
    out += "</section>\n";
    closeDocument(out, t.versionText.empty() ? std::string("Quorlin") : t.versionText,
                  t.hasView ? std::vector<const char*>{viewScript(), regionalScript()} : std::vector<const char*>{});
    return out;
}

} // namespace

size_t listedRows(const TsvTable& table, const PageSettings& settings)
{
    // A row's share: its fields with their cells, its row element and
    // attributes, and for a locus its mark and search data in the view.
    size_t rows = 0, bytes = 0;
    for (; rows < table.rows.size() && rows < settings.maxTableRows; ++rows) {
        size_t cost = 160;
        for (const std::string& field : table.rows[rows])
            cost += field.size() + 12;
        if (bytes + cost > settings.tableBytes)
            break;
        bytes += cost;
    }
    return rows;
}

// Invariant: listedRows gives the same count on the head as on the whole
// text. It lists at most maxTableRows rows (the head holds that many past
// the header), and a row costs more than its line (12 bytes a field against
// one tab), so once the rows held pass tableBytes, no row after them fits.
void ListedText::add(const std::string& piece)
{
    for (size_t from = 0; !full_ && from < piece.size();) {
        const size_t line = piece.find('\n', from);
        const size_t end = line == std::string::npos ? piece.size() : line + 1;
        text_.append(piece, from, end - from);
        from = end;
        if (line == std::string::npos)
            continue;
        if (++held_ == 1)
            header_ = text_.size();
        full_ = held_ >= lines_ || text_.size() - header_ >= bytes_;
    }
}

std::vector<LocusKey> figureLoci(const std::string& lociTsv, const PageSettings& settings)
{
    std::vector<LocusKey> keys;
    for (const RankedLocus& locus : strongestLoci(parseTsv(lociTsv), settings))
        if (locus.found)
            keys.push_back(locus.key);
    return keys;
}

// The page is composed once without regional figures to learn what the rest
// (but the view's points) takes; the figures then get what is left of
// settings.pageBytes, less a margin for the rows' figure buttons (under 200
// bytes a row).
std::string tablePage(const TablePage& t, const PageSettings& settings)
{
    if (t.regionalSvgs.empty() && t.view.regional.empty())
        return composePage(t, settings, 0);
    // The view's points have a budget of their own (settings.pointBytes).
    size_t points = 0;
    for (const ViewMarker& m : t.view.markers)
        points += m.p.size() + m.id.size() + 12;
    const size_t whole = composePage(t, settings, 0).size();
    const size_t rest = whole - std::min(whole, points) + 200 * settings.maxRegionalFigures;
    return composePage(t, settings, settings.pageBytes > rest ? settings.pageBytes - rest : 0);
}

} // namespace page
