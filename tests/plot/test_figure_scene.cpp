// The figure's scene: what the panels build (a tree with whole dot groups),
// and its SVG writer's handling of mixed text, namespaces, unsafe characters
// and long dot groups.
#include "plot_test_tables.h"
#include "plot/plot_canvas.h"

#include <gtest/gtest.h>

#include <QXmlStreamReader>

namespace {

// Every node of the tree, depth first.
void collect(const SceneNode& n, std::vector<const SceneNode*>& out)
{
    out.push_back(&n);
    for (const SceneNode& c : n.children)
        collect(c, out);
}

std::vector<const SceneNode*> nodes(const Scene& s)
{
    std::vector<const SceneNode*> out;
    collect(s.root, out);
    return out;
}

Scene svgScene()
{
    Scene s;
    s.namespaces.push_back({QString(), QStringLiteral("http://www.w3.org/2000/svg")});
    s.namespaces.push_back({QStringLiteral("inkscape"), QStringLiteral("http://www.inkscape.org/namespaces/inkscape")});
    return s;
}

} // namespace

// The Manhattan + QQ scene holds the figure the SVG writer writes: the same
// bytes as the file, dot groups kept whole with their colour and commands,
// and the subscripted -log10 labels and lambda text as text elements.
TEST(FigureScene, ManhattanQqSceneIsTheFigure)
{
    const PlotModel m = genomeModel(60000, 6, true);
    const PlotSettings settings{QStringLiteral("scene.tsv")};
    PlotDrawStats fromScene, fromFile;
    const Scene scene = manhattanQqScene(m, settings, &fromScene);
    const QByteArray svg = figureSvg(m, settings, &fromFile);
    EXPECT_EQ(sceneSvg(scene), svg);
    EXPECT_EQ(fromScene.manhattanDots, fromFile.manhattanDots);
    EXPECT_EQ(fromScene.bands, fromFile.bands);

    ASSERT_EQ(scene.root.name, QStringLiteral("svg"));
    int markerGroups = 0, qqGroups = 0, mixedTexts = 0;
    size_t markerBytes = 0;
    for (const SceneNode* n : nodes(scene)) {
        if (n->kind == SceneNode::Kind::Dots) {
            EXPECT_FALSE(n->path.empty());
            EXPECT_EQ(n->path[0], 'M');
            EXPECT_TRUE(n->colour.startsWith(QLatin1Char('#'))) << n->colour.toStdString();
            if (n->cssClass == QLatin1String("markers")) {
                ++markerGroups;
                markerBytes += n->path.size();
            }
            qqGroups += n->cssClass == QLatin1String("qq-points");
        }
        mixedTexts += n->kind == SceneNode::Kind::Element && n->mixed;
    }
    EXPECT_GE(markerGroups, 2); // two alternating chromosome colours at least
    EXPECT_EQ(qqGroups, 1);
    EXPECT_GE(mixedTexts, 1); // the lambda text with its tspans
    // All of a group's commands are in the file, split into paths.
    EXPECT_GE(static_cast<size_t>(svg.size()), markerBytes);
}

// Canvas calls become the tree; the writer gives well-formed SVG with the
// namespace prefixes declared on the root, mixed text on one line, and
// characters XML cannot hold replaced in text and dot titles alike. Calls
// without an open element do nothing rather than crash.
TEST(FigureScene, CanvasBuildsTreeAndWriterKeepsItWellFormed)
{
    Scene scene = svgScene();
    SvgCanvas c(scene);
    c.end();                       // nothing open: ignored
    c.attr("stray", "1");          // likewise
    c.chars(QStringLiteral("x"));  // likewise
    c.dotPath("d", "#000", "M1 1h0");
    c.start("svg");
    c.attr("width", 10.04);
    c.layer("l", "Layer \xc3\xa9");
    c.startMixed("text");
    c.attr("xml:space", "preserve");
    c.chars(QStringLiteral("a"));
    c.start("tspan");
    c.chars(QStringLiteral("b\x01"));
    c.end();
    c.chars(QStringLiteral(" c"));
    c.endMixed();
    c.text(1, 2, QStringLiteral("t"), 12, "middle", "#111111", true);
    c.dotPath("dots", "#123456", "M1 1h0M2 2h0", QStringLiteral("bad\x02title"));
    c.end(); // g
    c.end(); // svg
    c.end(); // extra: ignored

    ASSERT_EQ(scene.root.name, QStringLiteral("svg"));
    EXPECT_EQ(scene.root.attr("width"), QStringLiteral("10"));
    ASSERT_EQ(scene.root.children.size(), 1u);
    const SceneNode& layer = scene.root.children[0];
    ASSERT_EQ(layer.children.size(), 3u);
    EXPECT_TRUE(layer.children[0].mixed);
    EXPECT_EQ(layer.children[1].attr("text-anchor"), QStringLiteral("middle"));
    const SceneNode& dots = layer.children[2];
    EXPECT_EQ(dots.kind, SceneNode::Kind::Dots);
    EXPECT_EQ(dots.title, QStringLiteral("bad\ufffdtitle"));

    const QByteArray svg = sceneSvg(scene);
    EXPECT_TRUE(svg.contains("<text xml:space=\"preserve\">a<tspan>b\xef\xbf\xbd</tspan> c</text>")) << svg.data();
    EXPECT_TRUE(svg.contains("inkscape:groupmode=\"layer\" inkscape:label=\"Layer \xc3\xa9\"")) << svg.data();
    EXPECT_FALSE(svg.contains("xmlns:n1")) << svg.data(); // the prefix declared on the root, not again
    QXmlStreamReader r(svg);
    int paths = 0;
    while (!r.atEnd())
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == u"path")
            ++paths;
    EXPECT_FALSE(r.hasError()) << r.errorString().toStdString();
    EXPECT_EQ(paths, 1);
}

// A dot group of many commands is written as paths of at most 32 commands
// whose d attributes together give the group's commands back unchanged.
TEST(FigureScene, LongDotGroupsSplitIntoShortPathsLosingNothing)
{
    for (int commands : {1, 32, 33, 64, 100}) {
        std::string d;
        for (int i = 0; i < commands; ++i)
            d += "M" + std::to_string(i) + " " + std::to_string(i % 7) + (i % 3 ? "h0" : "v4");
        Scene scene = svgScene();
        SvgCanvas c(scene);
        c.start("svg");
        c.dotPath("markers", "#1f4e79", d);
        c.end();
        QXmlStreamReader r(sceneSvg(scene));
        std::string joined;
        int paths = 0;
        while (!r.atEnd()) {
            if (r.readNext() != QXmlStreamReader::StartElement || r.name() != u"path")
                continue;
            ++paths;
            EXPECT_EQ(r.attributes().value(QLatin1String("class")), QLatin1String("markers"));
            joined += r.attributes().value(QLatin1String("d")).toString().toStdString();
        }
        EXPECT_FALSE(r.hasError());
        EXPECT_EQ(joined, d) << commands;
        EXPECT_EQ(paths, (commands + 31) / 32) << commands;
    }
}
