// The data of the pages' interactive views: which markers become points,
// the thinned layer from the figure's grid, p as text, the JSON (valid,
// and nothing in it can close its script), the loci table's natural order,
// the cards, and the regional figures kept as data within the page's
// budget. The views themselves are driven in a browser by
// check_real_views.sh.
#include "cli/page_output.h"
#include "cli/page_view.h"
#include "page/table_page.h"
#include "page/view_data.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {

QJsonObject parsed(const std::string& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << json;
    return doc.object();
}

ChromosomeBatch batch(const std::string& chromosome, std::vector<int32_t> positions, std::vector<double> values,
                      std::vector<std::string> ids, bool log10)
{
    ChromosomeBatch b;
    b.chromosome = chromosome;
    b.positions.assign(positions.begin(), positions.end());
    b.pvalues.assign(values.begin(), values.end());
    b.ids = std::move(ids);
    b.valuesAreLog10 = log10;
    return b;
}

const char* const kHostile = "a<b>&c\"d'e</script><!--x\x01";

} // namespace

TEST(PageViewData, PValueTextAndJsonText)
{
    EXPECT_EQ(page::pText(0.000468758, false), "0.000468758");
    EXPECT_EQ(page::pText(1.47e-24, false), "1.47e-24");
    EXPECT_EQ(page::pText(3.5, true), "0.000316");
    EXPECT_EQ(page::pText(400.5, true), "3.16e-401");
    EXPECT_EQ(page::pText(400.0001, true), "1e-400") << "a mantissa that rounds up to 10";
    EXPECT_EQ(page::pText(std::numeric_limits<double>::infinity(), true), "0");
    EXPECT_EQ(page::pText(std::nan(""), true), "NA");

    const std::string text = page::jsonString(kHostile);
    EXPECT_EQ(text.find('<'), std::string::npos);
    EXPECT_EQ(text.find('\x01'), std::string::npos);
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString("[" + text + "]"));
    EXPECT_EQ(doc.array().at(0).toString().toStdString(), kHostile) << "the JSON reads back as the text";
    EXPECT_EQ(page::jsonNumber(std::nan("")), "null");
    EXPECT_EQ(page::jsonNumber(-std::numeric_limits<double>::infinity()), "-1e999");
    EXPECT_EQ(page::jsonNumber(0.1), "0.1");
}

TEST(PageViewData, NaturalRowOrderAndElapsedTime)
{
    EXPECT_EQ(page::naturalRowOrder({"chr10", "chr2", "chrX", "chr1", "contig", "chr2"}),
              (std::vector<size_t>{3, 1, 5, 0, 2, 4}));
    EXPECT_TRUE(page::naturalRowOrder({}).empty());
    EXPECT_EQ(elapsedText(0.44), "0.4 s");
    EXPECT_EQ(elapsedText(12.4), "12 s");
    EXPECT_EQ(elapsedText(75), "1 min 15 s");
    EXPECT_EQ(elapsedText(3725), "1 h 02 min");
    EXPECT_EQ(elapsedText(-1), "0.0 s");
}

// Points are the markers at or below the limit (the limit itself counts),
// from p columns and -log10 p batches alike; the view's chromosomes are in
// natural order with the points following them, and the thin layer holds
// the grid's cells below the limit only.
TEST(PageView, PointsAndThinLayerFromTheRunsStructures)
{
    PageMarkers markers;
    markers.take(batch("chr10", {100, 200, 300}, {1e-2, 1e-3, 5e-4}, {"rsA", "rsB", "rsC"}, false));
    markers.take(batch("chr2", {50, 60, 70}, {2.9, 3, 400}, {}, true));
    markers.take(batch("chr10", {400}, {-0.5}, {"rsNegative"}, false));
    ASSERT_EQ(markers.markers().size(), 4u) << "p < 0 is no point";

    PlotCollector collector(1.0); // every row in the grid
    collector.startChromosome("chr10");
    collector.addRow(100, 1e-2, true);
    collector.addRow(300, 5e-4, true);
    collector.startChromosome("chr2");
    collector.addRow(50, 0.5, true);
    collector.addRow(70, 1e-5, true);
    const PlotModel model = std::move(collector).finish();
    const TableLoci loci;
    const TableReading notes;
    const page::ViewData view = pageView(&model, std::move(markers), loci, notes);

    ASSERT_EQ(view.chromosomes.size(), 2u);
    EXPECT_EQ(view.chromosomes[0].name, "chr2");
    EXPECT_EQ(view.chromosomes[1].name, "chr10");
    EXPECT_EQ(view.chromosomes[0].first, 50);
    EXPECT_EQ(view.chromosomes[0].last, 70);
    uint64_t chr2 = 0, chr10 = 0;
    for (const uint64_t m : view.chromosomes[0].thin)
        chr2 |= m;
    for (const uint64_t m : view.chromosomes[1].thin)
        chr10 |= m;
    // p = 0.5: -log10 p = 0.30, bin 6 of 64 over 0..3; p = 0.01: 2, bin 42.
    EXPECT_EQ(chr2, uint64_t(1) << 6) << "p = 1e-5 is a point, not thinned";
    EXPECT_EQ(chr10, uint64_t(1) << 42);

    const QJsonObject json = parsed(page::viewJson(view, {}));
    const QJsonObject pts = json["pts"].toObject();
    EXPECT_EQ(pts["n"].toArray(), QJsonArray({2, 2}));
    EXPECT_EQ(pts["dx"].toArray(), QJsonArray({60, 10, 200, 100})) << "by chromosome and position, as steps";
    EXPECT_EQ(pts["p"].toArray(), QJsonArray({0.001, "1e-400", 0.001, 0.0005}));
    EXPECT_EQ(pts["id"].toArray(), QJsonArray({"", "", "rsB", "rsC"}));
    EXPECT_EQ(json["chroms"].toArray().at(0).toObject()["t"].toString().size() % 4, 0) << "base64";
}

TEST(PageView, RegionalFigureAsData)
{
    RegionalFigure f;
    f.chromosome = "chr1";
    f.windowStart = 100;
    f.windowEnd = 900;
    f.positions = {200, 300};
    f.values = {8.5, std::numeric_limits<double>::infinity()};
    f.ids = {kHostile, "rs2"};
    f.r2 = {0.9f, std::nanf("")};
    f.leadPosition = 300;
    f.leadId = "rs2";
    f.leadValue = 9;
    f.status = "peak";
    f.peaks.push_back({150, 400, 3.5, "3.5"});
    f.genes.push_back({"IL23R", 250, 800, 1, '+', {{250, 300}, {700, 800}}});
    const std::string text = regionalJson(f);
    EXPECT_EQ(text.find('<'), std::string::npos);
    const QJsonObject json = parsed(text.substr(0, text.find("1e999")) + "1" + text.substr(text.find("1e999") + 5));
    EXPECT_EQ(json["r2"].toArray().at(1).type(), QJsonValue::Null) << "absent from the panel";
    EXPECT_EQ(json["id"].toArray().at(0).toString().toStdString(), kHostile);
    const QJsonObject gene = json["genes"].toArray().at(0).toObject();
    EXPECT_EQ(gene["d"].toString(), "+");
    EXPECT_EQ(gene["x"].toArray().size(), 2);
    f.r2.clear();
    EXPECT_EQ(regionalJson(f).find("\"r2\""), std::string::npos) << "no panel: no r2";
}

// A page with the view: the data is the only other script and holds hostile
// ids as text; the loci rows come in natural order; the cards state the
// run time, the λGC caveat, the build and the panel; regional figures kept
// as data go in strongest first while the budget lasts.
TEST(PageView, PageWithTheView)
{
    page::TablePage t;
    t.tableName = "t.tsv";
    t.hasView = true;
    t.view.chromosomes.push_back({"chr2", 1, 500, {0}, 1000});
    t.view.chromosomes.push_back({"chr10", 1, 500, {0}, 1000});
    t.view.markers.push_back({0, 10, 5, "1e-05", kHostile});
    t.lambdaGcText = "29.9";
    t.lambdaNote = "not meaningful: the table holds only p \u2264 0.001";
    t.runTimeText = "1.5 s";
    t.buildText = "GRCh38 (inferred)";
    t.ldPanelText = "panel.vcf.gz";
    t.lociTsv = "chrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tstatus\n"
                "chr10\t5\t20\trs10\t10\t9\tpeak\n"
                "chr2\t5\t20\trs2\t10\t12\tpeak\n"
                "chr2\t50\t60\trs3\t55\t7\tno_peak\n";
    const std::string big(3000, 'x');
    t.view.regional[0] = "{\"pad\":\"" + big + "\"}";
    t.view.regional[1] = "{\"pad\":\"" + big + "\"}";
    t.view.regional[2] = "{\"pad\":\"" + big + "\"}";
    page::PageSettings settings;
    settings.maxRegionalFigures = 3;
    settings.pageBytes = page::tablePage(t, page::PageSettings{3, 1 << 30, 25000}).size() - 2000;
    const std::string html = page::tablePage(t, settings);

    EXPECT_EQ(countOf(html, "<script"), 2u);
    EXPECT_EQ(countOf(html, "</script"), 2u);
    EXPECT_EQ(html.find(kHostile), std::string::npos);
    EXPECT_NE(html.find("29.9 (not meaningful: the table holds only p \u2264 0.001)"), std::string::npos);
    EXPECT_NE(html.find("Run time</span><span class=\"value\">1.5 s"), std::string::npos);
    EXPECT_NE(html.find("Genome build</span><span class=\"value\">GRCh38 (inferred)"), std::string::npos);
    EXPECT_NE(html.find("LD panel</span><span class=\"value\">panel.vcf.gz"), std::string::npos);
    const size_t rs2 = html.find("data-lead=\"rs2\""), rs3 = html.find("data-lead=\"rs3\""),
                 rs10 = html.find("data-lead=\"rs10\"");
    EXPECT_LT(rs2, rs3);
    EXPECT_LT(rs3, rs10) << "chr2 before chr10";
    EXPECT_NE(html.find("data-k=\"1\" data-status=\"peak\" data-lead=\"rs2\" data-reg=\"1\""), std::string::npos);
    EXPECT_EQ(countOf(html, "data-reg="), 2u) << "the two strongest fit";
    EXPECT_EQ(html.find("data-k=\"2\" data-status=\"no_peak\" data-lead=\"rs3\" data-reg"), std::string::npos);
    EXPECT_NE(html.find("1 more regional figures are left out"), std::string::npos);
}

// The points' byte budget keeps the strongest, never half of a tie, and
// moves the limit so that every marker at or below it is still a point.
TEST(PageViewData, StrongestPointsWithinTheBudget)
{
    page::ViewData view;
    view.chromosomes.resize(2);
    view.markers = {{1, 500, 4, "0.0001", "rs1"},
                    {0, 900, 6, "1e-06", "rs2"},
                    {0, 100, 5, "1e-05", "rs3"},
                    {1, 100, 5, "1e-05", "rs4"}};
    page::ViewData all = view;
    page::keepStrongestPoints(all, 1 << 20);
    EXPECT_EQ(all.markers.size(), 4u);
    EXPECT_EQ(all.pointsLeftOut, 0u);
    EXPECT_EQ(all.pointLimit, 1e-3);
    EXPECT_EQ(all.markers[0].id, "rs3") << "by chromosome, then position";
    EXPECT_EQ(all.markers[1].id, "rs2");

    page::keepStrongestPoints(view, 2 * 21); // room for two: rs2, and one of the tied pair
    ASSERT_EQ(view.markers.size(), 1u);
    EXPECT_EQ(view.markers[0].id, "rs2");
    EXPECT_EQ(view.pointsLeftOut, 3u);
    EXPECT_DOUBLE_EQ(view.pointLimit, 1e-6);
    EXPECT_NE(page::viewJson(view, {}).find("\"thinTop\":6"), std::string::npos);
}

// Gathering stays bounded: past twice the markers to keep, the weaker ones
// go (never half of a tie), later ones as weak are not taken, and the view
// counts them all as left out of the points.
TEST(PageView, GatheredMarkersStayBounded)
{
    PageMarkers markers(1e-3, 2);
    markers.take(batch("1", {1, 2, 3, 4, 5}, {1e-4, 1e-5, 1e-6, 1e-7, 1e-8}, {"a", "b", "c", "d", "e"}, false));
    ASSERT_EQ(markers.markers().size(), 2u);
    EXPECT_EQ(markers.dropped(), 3u);
    markers.take(batch("1", {6, 7}, {1e-6, 1e-9}, {"f", "g"}, false));
    EXPECT_EQ(markers.markers().size(), 3u);
    EXPECT_EQ(markers.dropped(), 4u);
    const TableLoci loci;
    const TableReading notes;
    const page::ViewData view = pageView(nullptr, std::move(markers), loci, notes);
    EXPECT_EQ(view.pointsLeftOut, 4u);
    EXPECT_NEAR(view.pointLimit, 1e-7, 1e-20);
    ASSERT_EQ(view.markers.size(), 3u);
    EXPECT_EQ(view.markers[0].id, "d");
    EXPECT_EQ(view.markers[2].id, "g");
}

// The index page: λGC with its caveat, and the study-wide search's data
// from the study loci rows (genes split, a stopped table without a link,
// hostile names as text).
TEST(PageView, IndexPageSearchesTheStudy)
{
    std::vector<page::IndexRow> rows(2);
    rows[0].name = std::string("a") + kHostile;
    rows[0].link = "a.html";
    rows[0].lambdaGcText = "29.900";
    rows[0].lambdaNote = "not meaningful: the table holds only p \u2264 0.001";
    rows[1].name = "b.tsv";
    rows[1].error = "Input file not found";
    page::IndexInfo info;
    const std::string plain = page::indexPage(rows, info);
    EXPECT_NE(plain.find("title=\"not meaningful: the table holds only p \u2264 0.001\">29.900 (not meaningful)</td>"),
              std::string::npos);
    EXPECT_EQ(plain.find("id=\"search\""), std::string::npos) << "no study loci: no search";

    info.studyLociTsv = "table\tchrom\tstart\tend\tlead_id\tstatus\tnearest_gene\tgenes\n" + rows[0].name +
                        "\tchr1\t10\t20\trs1\tpeak\tIL23R\tC1orf141,IL23R,+2\n"
                        "b.tsv\tchr2\t5\t6\trs2\tno_peak\t.\t.\n";
    const std::string html = page::indexPage(rows, info);
    EXPECT_EQ(countOf(html, "<script"), 2u);
    EXPECT_EQ(html.find(kHostile), std::string::npos);
    const size_t from = html.find("id=\"study-data\">") + 16;
    const QJsonObject study = parsed(html.substr(from, html.find("</script>", from) - from));
    EXPECT_EQ(study["tables"].toArray().at(0).toObject()["h"].toString(), "a.html");
    EXPECT_EQ(study["tables"].toArray().at(1).toObject()["h"].toString(), "") << "a stopped table has no page";
    const QJsonArray loci = study["loci"].toArray();
    ASSERT_EQ(loci.size(), 2);
    EXPECT_EQ(loci.at(0).toArray().at(6).toArray(), QJsonArray({"IL23R", "C1orf141", "IL23R"}));
    EXPECT_EQ(loci.at(1).toArray().at(6).toArray(), QJsonArray());
    EXPECT_EQ(loci.at(1).toArray().at(0).toInt(), 1);
}
