// The regional figure's drawing: LD colours by r² bin with data-r2 on every
// point, the peak bands along the top, the other loci and the status in
// words, and a gene track whose labels (measured with Qt's font metrics)
// meet no other label or gene and stay inside the figure, on generated
// genes and on the shared GRCh38 annotation's HLA region.
#include "figure_app.h"
#include "genes/annotation_reader.h"
#include "plot/regional_svg.h"
#include "plot_test_tables.h"
#include "svg_elements.h"
#include "test_support.h"

#include <QFont>
#include <QFontMetricsF>
#include <QRectF>

#include <cmath>
#include <gtest/gtest.h>

namespace {

RegionalFigure ldFigure()
{
    RegionalFigure r;
    r.chromosome = "10";
    r.windowStart = 1000;
    r.windowEnd = 11000;
    r.leadPosition = 5000;
    r.leadId = "rsLead";
    r.leadValue = 20;
    r.status = "peak";
    // r² at each bin's edges and inside, and one absent from the panel.
    const float r2[] = {0.0f, 0.1999f, 0.2f, 0.3999f, 0.4f, 0.6f, 0.7999f, 0.8f, 1.0f, NAN};
    for (int k = 0; k < 10; ++k) {
        r.positions.push_back(2000 + 300 * k);
        r.values.push_back(2 + k);
        r.ids.push_back("rs" + std::to_string(k));
        r.r2.push_back(r2[k]);
    }
    r.positions.push_back(5000);
    r.values.push_back(20);
    r.ids.push_back("rsLead");
    r.r2.push_back(1);
    r.ldReference = "rsLead";
    r.ldPanel = "panel.bed";
    r.ldSamples = "all 12 samples";
    return r;
}

std::map<QString, QString> fillOfPoints(const QByteArray& svg)
{
    // Each point's colour is its group's fill: read groups and circles in order.
    std::map<QString, QString> fill;
    QXmlStreamReader x(svg);
    QString group;
    while (!x.atEnd()) {
        if (x.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = x.attributes();
        if (a.value(QLatin1String("class")) == u"markers")
            group = a.value(QLatin1String("fill")).toString();
        if (a.value(QLatin1String("class")) == u"marker")
            fill[a.value(QLatin1String("data-id")).toString()] = group;
    }
    return fill;
}

} // namespace

TEST(RegionalDrawing, PointsAreColouredByTheirR2Bin)
{
    const QByteArray svg = checkedRegionalSvg(ldFigure());
    QString error;
    const std::vector<SvgElement> all = classedElements(svg, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    std::map<std::string, std::string> r2;
    for (const SvgElement& e : ofClass(all, "marker"))
        r2[e.attributes.at(QStringLiteral("data-id")).toStdString()] =
            e.attributes.at(QStringLiteral("data-r2")).toStdString();
    EXPECT_EQ(r2, (std::map<std::string, std::string>{{"rs0", "0.000"}, {"rs1", "0.200"}, {"rs2", "0.200"},
                                                      {"rs3", "0.400"}, {"rs4", "0.400"}, {"rs5", "0.600"},
                                                      {"rs6", "0.800"}, {"rs7", "0.800"}, {"rs8", "1.000"},
                                                      {"rs9", "NA"}}));
    // The bins go by the value, not its rounded text: 0.1999 is navy.
    const std::map<QString, QString> fill = fillOfPoints(svg);
    const QString navy = fill.at(QStringLiteral("rs0")), light = fill.at(QStringLiteral("rs2")),
                  green = fill.at(QStringLiteral("rs4")), orange = fill.at(QStringLiteral("rs5")),
                  red = fill.at(QStringLiteral("rs7")), grey = fill.at(QStringLiteral("rs9"));
    EXPECT_EQ(std::set<QString>({navy, light, green, orange, red, grey}).size(), 6u);
    EXPECT_EQ(fill.at(QStringLiteral("rs1")), navy);
    EXPECT_EQ(fill.at(QStringLiteral("rs3")), light);
    EXPECT_EQ(fill.at(QStringLiteral("rs6")), orange);
    EXPECT_EQ(fill.at(QStringLiteral("rs8")), red);
    // The lead is the diamond only, with its own r².
    EXPECT_EQ(fill.count(QStringLiteral("rsLead")), 0u);
    const SvgElement lead = ofClass(all, "lead").at(0);
    EXPECT_EQ(lead.attributes.at(QStringLiteral("data-r2")), u"1.000");
    EXPECT_EQ(ofClass(all, "ld-source").at(0).text,
              QStringLiteral("r\u00b2 with rsLead \u00b7 panel panel.bed \u00b7 all 12 samples"));
}

TEST(RegionalDrawing, BandsAlongTheTopOtherLociAndTheStatusInWords)
{
    RegionalFigure r = ldFigure();
    r.status = "merged";
    r.statusNote = "merged: its peak also overlaps locus rsOther";
    r.peaks = {{3000, 6000, 3.83542, "3.84"}, {5500, 9000, 1.2, "1.20"}};
    r.otherLoci = {{9000, "rsOther", 8, 8800, 9100}, {20000, "rsOutside", 8, 20000, 20000}};
    QString error;
    const std::vector<SvgElement> all = classedElements(checkedRegionalSvg(r), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    const std::vector<SvgElement> bands = ofClass(all, "peak-range");
    ASSERT_EQ(bands.size(), 2u);
    const double plotTop = bands[0].number("y");
    for (const SvgElement& b : bands)
        EXPECT_LT(b.number("height"), 20); // a band, not the plot's height
    EXPECT_GT(bands[1].number("y"), plotTop); // overlapping peaks take two rows
    const std::string svg = checkedRegionalSvg(r).toStdString();
    EXPECT_NE(svg.find(">GQS 3.84<"), std::string::npos);
    EXPECT_EQ(svg.find("3.835"), std::string::npos);
    const std::vector<SvgElement> others = ofClass(all, "other-locus");
    ASSERT_EQ(others.size(), 1u); // the one whose lead is outside the window is not drawn
    EXPECT_EQ(others[0].attributes.at(QStringLiteral("data-lead")), u"rsOther");
    EXPECT_NE(svg.find("\"status-note\" font-weight=\"normal\" font-size=\"15\">: its peak also overlaps locus rsOther<"),
              std::string::npos);
    // A note too long for the title opens the line under it.
    r.leadId = "a_rather_long_marker_identifier_of_the_lead";
    r.statusNote = "merged: its peak also overlaps loci a_rather_long_marker_identifier, "
                   "another_long_marker_identifier, a_third_long_identifier and 12 more";
    const std::string wide = checkedRegionalSvg(r).toStdString();
    EXPECT_NE(wide.find("\"status-note\" fill=\"#111111\">merged: its peak also overlaps loci"), std::string::npos)
        << wide.substr(0, 1500);
}

namespace {

// The label boxes as Qt measures them in the figure's font, and the gene
// bars; every box must lie inside the figure and no label box may meet
// another label or a bar.
void expectLabelsApart(const QByteArray& svg, size_t expectedLabels)
{
    ensureGui();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    const QFontMetricsF metrics(font);
    QString error;
    const std::vector<SvgElement> all = classedElements(svg, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    QXmlStreamReader x(svg);
    double width = 0, height = 0;
    while (!x.atEnd())
        if (x.readNext() == QXmlStreamReader::StartElement) {
            width = x.attributes().value(QLatin1String("width")).toDouble();
            height = x.attributes().value(QLatin1String("height")).toDouble();
            break;
        }
    std::vector<std::pair<QString, QRectF>> labels, bars;
    for (const SvgElement& e : ofClass(all, "gene-label")) {
        const double w = metrics.horizontalAdvance(e.text);
        labels.push_back({e.text, QRectF(e.number("x") - w / 2, e.number("y") - metrics.ascent(), w,
                                         metrics.ascent() + metrics.descent())});
    }
    for (const SvgElement& e : ofClass(all, "gene"))
        bars.push_back({e.attributes.at(QStringLiteral("data-name")),
                        QRectF(e.number("x"), e.number("y"), e.number("width"), e.number("height"))});
    EXPECT_EQ(labels.size(), expectedLabels);
    const QRectF figure(0, 0, width, height);
    for (size_t i = 0; i < labels.size(); ++i) {
        EXPECT_TRUE(figure.contains(labels[i].second)) << labels[i].first.toStdString();
        for (size_t j = i + 1; j < labels.size(); ++j)
            EXPECT_FALSE(labels[i].second.intersects(labels[j].second))
                << labels[i].first.toStdString() << " meets " << labels[j].first.toStdString();
        for (const auto& [name, bar] : bars)
            EXPECT_FALSE(labels[i].second.intersects(bar))
                << labels[i].first.toStdString() << " meets the gene " << name.toStdString();
    }
}

} // namespace

TEST(RegionalDrawing, GeneTrackGrowsAndKeepsLabelsApart)
{
    RegionalFigure r = ldFigure();
    r.windowStart = 0;
    r.windowEnd = 1000000;
    // 60 long-named genes piled at one place, short genes at both edges.
    for (int k = 0; k < 60; ++k)
        r.genes.push_back({"LONG_GENE_NAME_" + std::to_string(k), 500000 + 100 * k, 520000, 0,
                           k % 3 == 0 ? '+' : k % 3 == 1 ? '-' : char(0), {}});
    r.genes.push_back({"LEFTEDGE_GENE_NAME", 0, 10, 0, '-', {}});
    r.genes.push_back({"RIGHTEDGE_GENE_NAME", 999990, 1000000, 0, '+', {{999990, 999995}}});
    r.genes.push_back({"EXONS", 100000, 200000, 0, '+', {{100000, 110000}, {150000, 160000}, {190000, 200000}}});
    const QByteArray svg = checkedRegionalSvg(r);
    // 40 rows: the pile fills them (the figure grows to hold every label);
    // the rest is counted.
    expectLabelsApart(svg, 40 + 3);
    const std::string text = svg.toStdString();
    EXPECT_NE(text.find("20 more genes not drawn: the track shows 40 rows"), std::string::npos);
    QString error;
    const std::vector<SvgElement> all = classedElements(svg, &error);
    EXPECT_EQ(ofClass(all, "exon").size(), 4u);
    size_t plus = 0, minus = 0;
    for (const SvgElement& e : ofClass(all, "strand"))
        (e.attributes.at(QStringLiteral("data-strand")) == u"+" ? plus : minus)++;
    EXPECT_GT(plus, 0u);
    EXPECT_GT(minus, 0u);
    EXPECT_LT(plus + minus, 42u); // genes without a strand have no arrows
}

TEST(RegionalDrawing, SharedAnnotationsHlaRegion)
{
    QUORLIN_NEEDS_REAL_DATA();
    for (const bool every : {false, true}) {
        SCOPED_TRACE(every ? "every gene type" : "protein-coding genes");
        GeneTypeFilter filter;
        filter.all = every;
        const GeneAnnotation a = readGeneAnnotation(std::string(QUORLIN_REAL_DATA) + "/topr_ENSGENES_GRCh38_genes.gtf.gz", filter);
        ASSERT_TRUE(a.ok) << a.error;
        RegionalFigure r = ldFigure();
        r.chromosome = "chr6";
        r.windowStart = 31800000; // from FKBPL and PPT2 to HLA-DQA1 and HLA-DQB1
        r.windowEnd = 32900000;
        r.leadPosition = 32600000;
        r.positions = {32600000};
        r.values = {20};
        r.ids = {"rsLead"};
        r.r2 = {1};
        for (const GeneRef& g : a.index.overlapping("chr6", r.windowStart, r.windowEnd))
            r.genes.push_back({std::string(g.name), g.start, g.end, 0, 0, {}});
        ASSERT_GT(r.genes.size(), every ? 60u : 30u);
        const QByteArray svg = checkedRegionalSvg(r);
        expectLabelsApart(svg, r.genes.size());
    }
}

// In a table without ids the lead's row is the diamond alone, as with ids.
TEST(RegionalDrawing, LeadRowWithoutIdsIsTheDiamondOnly)
{
    RegionalFigure r;
    r.chromosome = "1";
    r.windowEnd = 1000;
    r.positions = {100, 200, 300};
    r.values = {10, 1, 2};
    r.ids = {"", "", ""};
    r.leadPosition = 100;
    r.leadId = "1:100";
    r.leadValue = 10;
    QString error;
    const std::vector<SvgElement> all = classedElements(checkedRegionalSvg(r), &error);
    EXPECT_EQ(ofClass(all, "marker").size(), 2u);
    EXPECT_EQ(ofClass(all, "lead").at(0).attributes.at(QStringLiteral("data-r2")), u"NA");
}
