// The HTML pages: escaping of hostile text, no address outside the page,
// valid HTML5 by Debian's tidy, the cap on embedded regional figures and
// the size of the page of a large table. The page of a real run is driven
// in a browser by check_pages.sh.
#include "page/html_text.h"
#include "test_support.h"
#include "plot/regional_svg.h"
#include "page/table_page.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <regex>

namespace {

// tidy's error lines for `html`, "" when clean; "SKIP" without tidy.
std::string tidyErrors(const std::string& html)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/page.html", html);
    QProcess tidy;
    tidy.start("tidy", {"-errors", "-q", QString::fromStdString(dir + "/page.html")});
    if (!tidy.waitForStarted())
        return "SKIP";
    tidy.waitForFinished(60000);
    // tidy exits 1 on warnings only, 2 on errors.
    return tidy.exitCode() >= 2 ? tidy.readAllStandardError().toStdString() : std::string();
}

const char* const kHostile = "a<b>&c\"d'e</script><!--x\x01\xff";

page::TablePage hostilePage()
{
    page::TablePage t;
    t.tableName = std::string("</title><script>alert(1)</script>") + kHostile;
    t.commandLine = {"quorlin", "-file", std::string("it's <mine>.tsv")};
    t.lambdaGcText = kHostile;
    t.manhattanSvg = readFile(std::string(QUORLIN_EXAMPLES) + "/example.svg");
    t.lociTsv = std::string("chrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tstatus\n") + "chr<1>\t9\t20\t" +
                kHostile + "\t10\t12.5\tpeak\n";
    t.reportTsv = std::string("filename\tchrom\trange\tmax\trange\tGQS\n") + kHostile + "\t1\t1-2\t3\t1\t5\n";
    RegionalFigure r;
    r.chromosome = "chr<1>";
    r.windowStart = 0;
    r.windowEnd = 200;
    r.positions = {10, 12};
    r.values = {12.5, 3};
    r.leadPosition = 10;
    r.leadId = kHostile;
    r.status = "peak";
    t.regionalSvgs[{"chr<1>", 10}] = regionalSvg(r).toStdString();
    t.messages = std::string("</pre><b>") + kHostile;
    return t;
}

} // namespace

TEST(PageText, EscapesAndEncodes)
{
    // (Markup characters, control bytes and bad UTF-8: the hostile page.)
    EXPECT_EQ(page::escapeHtml(std::string("a\0b", 3)), "a\xef\xbf\xbd" "b");
    EXPECT_EQ(page::escapeHtml("\xce\xbb" "GC\t\n"), "\xce\xbb" "GC\t\n");
    EXPECT_EQ(page::relativeHref("my dir/a#b?c%.html"), "my%20dir/a%23b%3Fc%25.html");
    EXPECT_EQ(page::relativeHref("http://x.html"), "http%3A//x.html");
    EXPECT_EQ(page::inlineSvg("<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" a=\"x > "
                              "inkscape:label='1'\"><g inkscape:label=\"L\" id=\"g\">t &gt; u</g></svg>\n"),
              "<svg a=\"x > inkscape:label='1'\"><g id=\"g\">t &gt; u</g></svg>");
    EXPECT_EQ(page::inlineSvg("not a figure"), "");
}

TEST(Page, HostileTextStaysTextAndPagesAreValid)
{
    const std::string html = page::tablePage(hostilePage());
    EXPECT_EQ(countOf(html, "<script"), 1u); // the page's own script only
    EXPECT_EQ(countOf(html, "</script"), 1u);
    for (const char* escaped : {"<title>Quorlin: &lt;/title&gt;&lt;script&gt;alert(1)",
                                "a&lt;b&gt;&amp;c&quot;d&#39;e&lt;/script&gt;&lt;!--x\xef\xbf\xbd\xef\xbf\xbd",
                                "data-status=\"peak\" data-lead=\"a&lt;b", "&#39;it&#39;\\&#39;&#39;s &lt;mine&gt;.tsv&#39;",
                                "data-fig=\"fig-0\""})
        EXPECT_NE(html.find(escaped), std::string::npos) << escaped;
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_EQ(html.find('\x01'), std::string::npos);

    page::IndexRow ok{"a&b.tsv", "a&b.tsv.html", 10, 1, 2, 3, "rs1", "12.5", "1.01", "", ""};
    page::IndexRow failed{"<bad>.tsv", "bad.html", 0, 0, 0, 0, "", "", "", "Incorrect pcolumn <x>", ""};
    const std::string index = page::indexPage({ok, failed}, page::IndexInfo());
    EXPECT_NE(index.find("<a href=\"a%26b.tsv.html\">a&amp;b.tsv</a>"), std::string::npos);
    EXPECT_NE(index.find("&lt;bad&gt;.tsv</td><td class=\"error\" colspan=\"7\">Incorrect pcolumn &lt;x&gt;"),
              std::string::npos);
    EXPECT_EQ(index.find("bad.html"), std::string::npos) << "a stopped table has no page to link";

    // Nothing refers outside the page: no web address, no src, no import.
    const std::regex external("https?:|src=|@import|url\\((?!#)", std::regex::icase);
    for (const std::string* doc : {&html, &index}) {
        EXPECT_FALSE(std::regex_search(*doc, external)) << "external reference";
        const std::string errors = tidyErrors(*doc);
        if (errors == "SKIP")
            GTEST_SKIP() << "tidy not installed";
        EXPECT_EQ(errors, "");
    }
}

// 300 loci with dense regional figures and a 20,000-row report: the 200
// strongest loci (inf first, NA never) get their figures and the page says
// so; at the default size bound more are left out, said too, and the page
// stays under 5 MB but close to it.
TEST(Page, RegionalFiguresAreCapped)
{
    page::TablePage t;
    t.tableName = "big.tsv";
    t.lociTsv = "chrom\tlead_id\tlead_position\tlead_log10p\tstatus\n";
    std::vector<std::pair<double, int>> ranked; // strength, -row
    for (int i = 0; i < 300; ++i) {
        const double v = i == 0 ? INFINITY : i % 30 == 1 ? -INFINITY : (i * 7) % 300;
        const std::string text = i == 0 ? "inf" : i % 30 == 1 ? "NA" : std::to_string((i * 7) % 300);
        t.lociTsv += "1\trs" + std::to_string(i) + "\t" + std::to_string(100000 * i) + "\t" + text + "\tpeak\n";
        ranked.push_back({v, -i});
        RegionalFigure r;
        r.chromosome = "1";
        r.windowStart = 100000 * i - 150000;
        r.windowEnd = 100000 * i + 150000;
        for (int m = 0; m < 3000; ++m) {
            r.positions.push_back(static_cast<int32_t>(r.windowStart + m * 100));
            r.values.push_back((m * 37 % 101) / 7.0);
        }
        r.leadPosition = 100000 * i;
        t.regionalSvgs[{"1", 100000 * i}] = regionalSvg(r).toStdString();
    }
    t.reportTsv = "filename\tchrom\trange\tmax\tGQS\n";
    for (int i = 0; i < 20000; ++i)
        t.reportTsv += "big.tsv\t1\t" + std::to_string(i) + "-" + std::to_string(i + 900) + "\t12.25\t3.5\n";
    t.manhattanSvg = readFile(std::string(QUORLIN_EXAMPLES) + "/example.svg");

    page::PageSettings unbounded;
    unbounded.pageBytes = size_t(1) << 30;
    std::string html = page::tablePage(t, unbounded);
    std::sort(ranked.rbegin(), ranked.rend());
    const std::vector<page::LocusKey> keys = page::figureLoci(t.lociTsv);
    ASSERT_EQ(keys.size(), 200u);
    for (size_t k = 0; k < ranked.size(); ++k) {
        EXPECT_EQ(html.find("<template id=\"fig-" + std::to_string(-ranked[k].second) + "\">") != std::string::npos,
                  k < 200) << "rank " << k;
        if (k < 200) {
            EXPECT_EQ(keys[k], page::LocusKey("1", -100000 * ranked[k].second));
        }
    }
    EXPECT_NE(html.find("embeds the regional figures of the 200 strongest"), std::string::npos);

    html = page::tablePage(t);
    EXPECT_LT(html.size(), 5u << 20);
    EXPECT_GT(html.size(), 4'500'000u) << "the figures fill what the tables leave";
    // The note counts exactly the figures the size bound left out.
    const size_t embedded = countOf(html, "<template id=\"fig-");
    ASSERT_GT(embedded, 0u);
    ASSERT_LT(embedded, 200u);
    EXPECT_NE(html.find(std::to_string(200 - embedded) + " more regional figures are left out to keep this page small"),
              std::string::npos)
        << embedded << " embedded";
}

// Tables longer than the page's row bound list their first rows only, say
// so, and embed figures only for listed loci; the page stays small.
TEST(Page, LongTablesListTheirFirstRows)
{
    page::TablePage t;
    t.tableName = "many.tsv";
    t.lociTsv = "chrom\tlead_id\tlead_position\tlead_log10p\tstatus\n";
    t.reportTsv = "filename\tchrom\trange\tmax\tGQS\n";
    for (int i = 0; i < 1000; ++i) {
        // The strongest loci come last, beyond the listed rows.
        t.lociTsv += "1\trs" + std::to_string(i) + "\t" + std::to_string(1000 * i) + "\t" + std::to_string(10 + i) +
                     "\tpeak\n";
        t.reportTsv += "many.tsv\t1\t" + std::to_string(i) + "-" + std::to_string(i + 9) + "\t12.25\t3.5\n";
        RegionalFigure r;
        r.chromosome = "1";
        r.windowStart = 1000 * i - 500;
        r.windowEnd = 1000 * i + 500;
        r.leadPosition = 1000 * i;
        t.regionalSvgs[{"1", 1000 * i}] = regionalSvg(r).toStdString();
    }
    page::PageSettings settings;
    settings.maxTableRows = 100;
    settings.maxRegionalFigures = 5;
    const std::string html = page::tablePage(t, settings);
    EXPECT_EQ(countOf(html, "<tr class=\"item\""), 200u) << "100 loci and 100 peaks";
    EXPECT_NE(html.find("1,000 loci: this page lists the first 100"), std::string::npos);
    EXPECT_NE(html.find("1,000 peaks: this page lists the first 100"), std::string::npos);
    for (int i = 95; i < 100; ++i)
        EXPECT_NE(html.find("<template id=\"fig-" + std::to_string(i) + "\">"), std::string::npos) << i;
    EXPECT_EQ(html.find("<template id=\"fig-100\">"), std::string::npos);
    EXPECT_EQ(page::figureLoci(t.lociTsv, settings).front(), page::LocusKey("1", 99000));
}
