// The index page over the tables of a list run.
#include "page/table_page.h"

#include "page/html_text.h"
#include "page/page_assets.h"
#include "page/page_frame.h"
#include "page/tsv_text.h"
#include "page/view_data.h"

#include <map>

namespace page {

namespace {

void numberCell(std::string& out, int64_t n)
{
    out += "<td class=\"num\" data-sort=\"" + std::to_string(n) + "\">" + groupDigits(n) + "</td>";
}

// The study-wide search: a box, its results, and the study's loci rows as
// JSON ({"tables": [{n, h}], "loci": [[table, chrom, start, end, lead,
// status, [genes]]]}), the table by its place in "tables".
void studySearch(std::string& out, const std::vector<IndexRow>& rows, const std::string& studyLociTsv)
{
    const TsvTable study = parseTsv(studyLociTsv);
    const int table = study.column("table"), chrom = study.column("chrom"), start = study.column("start"),
              end = study.column("end"), lead = study.column("lead_id"), status = study.column("status"),
              nearest = study.column("nearest_gene"), genes = study.column("genes");
    if (table < 0 || chrom < 0 || lead < 0)
        return;
    std::map<std::string, size_t> place;
    std::string json = "{\"tables\":[";
    for (size_t i = 0; i < rows.size(); ++i) {
        place.emplace(rows[i].name, i);
        json += std::string(i ? "," : "") + "{\"n\":" + jsonString(rows[i].name) + ",\"h\":" +
                jsonString(rows[i].error.empty() ? relativeHref(rows[i].link) : std::string()) + "}";
    }
    json += "],\"loci\":[";
    const auto field = [](const std::vector<std::string>& row, int c) {
        return c >= 0 ? row[static_cast<size_t>(c)] : std::string();
    };
    bool first = true;
    for (const auto& row : study.rows) {
        const auto found = place.find(field(row, table));
        if (found == place.end())
            continue; // a name the study table wrote with a space for a tab
        json += std::string(first ? "" : ",") + "[" + std::to_string(found->second) + "," +
                jsonString(field(row, chrom)) + "," + jsonString(field(row, start)) + "," +
                jsonString(field(row, end)) + "," + jsonString(field(row, lead)) + "," +
                jsonString(field(row, status)) + ",[";
        std::string names = field(row, nearest) + "," + field(row, genes);
        bool firstGene = true;
        for (size_t from = 0; from < names.size();) {
            size_t comma = names.find(',', from);
            if (comma == std::string::npos)
                comma = names.size();
            const std::string gene = names.substr(from, comma - from);
            if (!gene.empty() && gene != "." && gene[0] != '+') {
                json += (firstGene ? "" : ",") + jsonString(gene);
                firstGene = false;
            }
            from = comma + 1;
        }
        json += "]]";
        first = false;
    }
    json += "]}";
    out += "<section id=\"study-search\">\n<h2>Search the study</h2>\n<div class=\"controls\" role=\"search\">"
           "<label>Gene or lead rsID <input type=\"search\" id=\"search\" autocomplete=\"off\"></label>"
           "<span id=\"search-status\" role=\"status\" aria-live=\"polite\"></span></div>\n"
           "<ul id=\"search-results\"></ul>\n<script type=\"application/json\" id=\"study-data\">" +
           json + "</script>\n</section>\n";
}

} // namespace

std::string indexPage(const std::vector<IndexRow>& rows, const IndexInfo& info)
{
    std::string out;
    openDocument(out, info.title);
    out += "<header>\n<h1>" + escapeHtml(info.title) + "</h1>\n";
    size_t failed = 0;
    for (const IndexRow& r : rows)
        failed += r.error.empty() ? 0 : 1;
    out += "<div class=\"facts\">\n";
    fact(out, "Tables", groupDigits(static_cast<int64_t>(rows.size())));
    fact(out, "Stopped with an error", groupDigits(static_cast<int64_t>(failed)));
    if (!info.runTimeText.empty())
        fact(out, "Run time", info.runTimeText);
    out += "</div>\n";
    if (!info.commandLine.empty())
        out += "<div class=\"cmd\">" + escapeHtml(commandText(info.commandLine)) + "</div>\n";
    out += "</header>\n<section>\n<h2>Tables</h2>\n";
    out += "<div class=\"scroll\"><table id=\"tables\" class=\"sortable\">\n<thead><tr>";
    const char* const headers[] = {"table",        "rows",       "loci with a peak", "loci without a peak",
                                   "peaks",        "strongest locus", "its lead_log10p", "\u03bbGC"};
    for (int c = 0; c < 8; ++c)
        sortableHeader(out, c, headers[c]);
    out += "</tr></thead>\n<tbody>\n";
    for (const IndexRow& r : rows) {
        out += "<tr class=\"item\" data-table=\"" + escapeHtml(r.name) + "\"><td>";
        if (r.error.empty() && !r.link.empty())
            out += "<a href=\"" + escapeHtml(relativeHref(r.link)) + "\">" + escapeHtml(r.name) + "</a>";
        else
            out += escapeHtml(r.name);
        out += "</td>";
        if (!r.error.empty()) {
            out += "<td class=\"error\" colspan=\"7\">" + escapeHtml(r.error) + "</td></tr>\n";
            continue;
        }
        numberCell(out, r.rows);
        numberCell(out, r.lociWithPeak);
        numberCell(out, r.lociWithoutPeak);
        numberCell(out, r.peaks);
        out += "<td>" + escapeHtml(r.strongestLocus) + "</td>";
        out += "<td class=\"num\">" + escapeHtml(r.strongestLog10p) + "</td>";
        if (r.lambdaNote.empty())
            out += "<td class=\"num\">" + escapeHtml(r.lambdaGcText) + "</td></tr>\n";
        else
            out += "<td class=\"num\" data-sort=\"" + escapeHtml(r.lambdaGcText) + "\" title=\"" +
                   escapeHtml(r.lambdaNote) + "\">" + escapeHtml(r.lambdaGcText) + " (not meaningful)</td></tr>\n";
    }
    out += "</tbody>\n</table></div>\n</section>\n";
    if (!info.studyLociTsv.empty())
        studySearch(out, rows, info.studyLociTsv);
    closeDocument(out, info.versionText.empty() ? std::string("Quorlin") : info.versionText,
                  info.studyLociTsv.empty() ? std::vector<const char*>{} : std::vector<const char*>{indexScript()});
    return out;
}

} // namespace page
