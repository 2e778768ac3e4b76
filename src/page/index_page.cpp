// The index page over the tables of a list run.
#include "page/table_page.h"

#include "page/html_text.h"
#include "page/page_frame.h"

namespace page {

namespace {

void numberCell(std::string& out, int64_t n)
{
    out += "<td class=\"num\" data-sort=\"" + std::to_string(n) + "\">" + groupDigits(n) + "</td>";
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
        out += "<tr class=\"item\"><td>";
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
        out += "<td class=\"num\">" + escapeHtml(r.lambdaGcText) + "</td></tr>\n";
    }
    out += "</tbody>\n</table></div>\n</section>\n";
    closeDocument(out, info.versionText.empty() ? std::string("Quorlin") : info.versionText);
    return out;
}

} // namespace page
