// The page's size budget with very many loci: the page keeps the first lines
// of the loci file and the report it lists, lists as many rows as its byte
// budget allows, says how many loci there are and where they all are, and
// leaves every other output as a run without a page writes it.
#include "base/digit_groups.h"
#include "page/table_page.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

std::string lines(int first, int count)
{
    std::string text;
    for (int i = first; i < first + count; ++i)
        text += "row" + std::to_string(i) + "\tx\n";
    return text;
}

} // namespace

// Pieces split lines anywhere; the head holds whole lines only, stops at the
// line bound (header included) or once the byte bound is passed, and is the
// start of the whole text.
TEST(PageBudget, ListedTextKeepsWholeFirstLines)
{
    const std::string whole = "header\n" + lines(0, 500);
    page::PageSettings settings;
    settings.maxTableRows = 100;
    page::ListedText byLines(settings);
    for (size_t at = 0; at < whole.size(); at += 7)
        byLines.add(whole.substr(at, 7));
    EXPECT_TRUE(byLines.full());
    EXPECT_EQ(byLines.text(), "header\n" + lines(0, 100));

    settings.maxTableRows = 1000;
    settings.tableBytes = 50; // the rows after "header\n" up to 50 bytes, the one crossing it included
    page::ListedText byBytes(settings);
    byBytes.add(whole);
    EXPECT_EQ(byBytes.text(), "header\n" + lines(0, 8)) << "8 rows of 7 bytes";

    page::ListedText all;
    all.add("header\nrow0\tx");
    all.add("");
    all.add("\nrow1");
    EXPECT_FALSE(all.full());
    EXPECT_EQ(all.text(), "header\nrow0\tx\nrow1") << "a last line without its end is kept as it came";
}

// 10,000 one-marker loci (10 chromosomes x 1,000 markers 600 kb apart, no
// peak among them): the
// page lists only the first loci, its view holds their marks alone, its note
// gives the count and the loci file, and the report, BED and loci file are
// those of a run without the page.
TEST(PageBudget, ManyLociStayOutOfThePage)
{
    std::string table = "CHR\tBP\tP\n";
    for (int c = 1; c <= 10; ++c)
        for (int i = 1; i <= 1000; ++i)
            table += std::to_string(c) + "\t" + std::to_string(i * 600000) + "\t1e-10\n";
    const std::string dir = makeTempDir();
    writeFile(dir + "/m.tsv", table);
    const std::vector<std::string> common = {"-file", "m.tsv", "-chrcolumn", "1", "-lcolumn", "2", "-pcolumn", "3",
                                             "-header", "yes", "-bed", "yes"};
    std::vector<std::string> withPage = common;
    withPage.insert(withPage.end(), {"-out", "p.out", "-loci", "p.loci.tsv", "-html", "p.html"});
    std::vector<std::string> without = common;
    without.insert(without.end(), {"-out", "q.out", "-loci", "q.loci.tsv"});
    const RunResult paged = runQuorlin(withPage, dir);
    ASSERT_EQ(paged.status, 0) << paged.command << paged.err;
    const RunResult plain = runQuorlin(without, dir);
    ASSERT_EQ(plain.status, 0) << plain.command << plain.err;

    const std::string loci = readFile(dir + "/p.loci.tsv");
    EXPECT_EQ(std::count(loci.begin(), loci.end(), '\n'), 10001) << "the header and every locus";
    EXPECT_EQ(loci, readFile(dir + "/q.loci.tsv"));
    EXPECT_EQ(readFile(dir + "/p.out"), readFile(dir + "/q.out"));
    EXPECT_EQ(readFile(dir + "/p.out.bed"), readFile(dir + "/q.out.bed"));

    const std::string html = readFile(dir + "/p.html");
    EXPECT_LT(html.size(), 10'000'000u);
    page::ListedText head;
    head.add(loci);
    const size_t listed = page::listedRows(page::parseTsv(head.text()));
    ASSERT_GT(listed, 100u);
    ASSERT_LT(listed, 10000u);
    EXPECT_NE(html.find("10,000 loci: this page lists the first " + groupDigits(int64_t(listed)) +
                        " to stay small; every locus is in the loci file p.loci.tsv."),
              std::string::npos);
    const size_t body = html.find("<table id=\"loci-table\"");
    const size_t bodyEnd = html.find("</table>", body);
    ASSERT_NE(body, std::string::npos);
    EXPECT_EQ(countOf(html, "<tr class=\"item\" data-k=", body, bodyEnd), listed);
    const size_t view = html.find("\"loci\":[");
    const size_t viewEnd = html.find("],\"reg\":", view);
    ASSERT_NE(view, std::string::npos);
    EXPECT_EQ(countOf(html, "{\"c\":", view, viewEnd), listed) << "the view marks the listed loci only";

    // Without a loci file the page lists the same rows and says how to get
    // the others.
    std::vector<std::string> pageOnly = common;
    pageOnly.insert(pageOnly.end(), {"-out", "r.out", "-html", "r.html"});
    const RunResult alone = runQuorlin(pageOnly, dir);
    ASSERT_EQ(alone.status, 0) << alone.command << alone.err;
    const std::string page = readFile(dir + "/r.html");
    EXPECT_NE(page.find("10,000 loci: this page lists the first " + groupDigits(int64_t(listed)) +
                        " to stay small; every locus is in the loci file that -loci writes."),
              std::string::npos);
    const size_t rows = page.find("<table id=\"loci-table\"");
    EXPECT_EQ(countOf(page, "<tr class=\"item\" data-k=", rows, page.find("</table>", rows)), listed);
}

// A report given as its first lines lists what the budget allows and counts
// every peak.
TEST(PageBudget, ReportHeadCountsEveryPeak)
{
    page::TablePage t;
    t.tableName = "t.tsv";
    page::ListedText head;
    head.add("filename\tchrom\trange\tmax\tGQS\n");
    for (int i = 0; i < 100000 && !head.full(); ++i)
        head.add("t.tsv\t1\t" + std::to_string(i) + "-" + std::to_string(i + 9) + "\t12.25\t3.5\n");
    t.reportTsv = head.text();
    t.reportTotal = 100000;
    const size_t listed = page::listedRows(page::parseTsv(t.reportTsv));
    ASSERT_GT(listed, 100u);
    ASSERT_LT(listed, 25000u);
    const std::string html = page::tablePage(t);
    EXPECT_LT(html.size(), 2'000'000u);
    EXPECT_NE(html.find("100,000 peaks in the order they were found."), std::string::npos);
    EXPECT_NE(html.find("100,000 peaks: this page lists the first " + groupDigits(int64_t(listed)) +
                        " to stay small; every peak is in the report."),
              std::string::npos);
    EXPECT_EQ(countOf(html, "<tr class=\"item\">"), listed);
}
