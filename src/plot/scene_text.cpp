// Text of a scene laid out for painting: the stretches of a text element
// and its tspans, white space as SVG treats it, the anchor, and glyph
// outlines from Qt's fonts.
#include "plot/scene_walker.h"

#include "plot/scene_parse.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace scenewalk {

namespace {

QFont fontOf(const Style& s)
{
    QFont f;
    f.setFamilies(s.families);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(s.fontSize))));
    f.setWeight(static_cast<QFont::Weight>(s.weight));
    // Unhinted outlines and fractional advances, as a browser lays text out.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// Text is laid out at SceneStep::kTextScale times its size: at 12 px Qt
// rounds the glyphs' advances, so that a long label drifts by a few px
// against a browser's; at the larger size they are the font's own.
QFont layoutFont(const Style& s)
{
    Style big = s;
    big.fontSize *= SceneStep::kTextScale;
    return fontOf(big);
}

// White space as SVG's default treats it: line ends removed, tabs as
// spaces, runs of spaces as one, none at the start or end of the text;
// with xml:space="preserve" only the line ends and tabs become spaces.
void normaliseSpace(std::vector<Stretch>& parts)
{
    bool lastSpace = true;
    for (Stretch& p : parts) {
        QString out;
        for (QChar c : p.text) {
            if (c == u'\n' || c == u'\r') {
                if (p.style.preserveSpace)
                    out += u' ';
                continue;
            }
            if (c == u'\t')
                c = u' ';
            if (c == u' ' && lastSpace && !p.style.preserveSpace)
                continue;
            lastSpace = c == u' ';
            out += c;
        }
        p.text = out;
    }
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (it->style.preserveSpace)
            break;
        while (it->text.endsWith(u' '))
            it->text.chop(1);
        if (!it->text.isEmpty())
            break;
    }
}

} // namespace

// Design note. A text is shaped once (QTextLayout) for both its advance
// and its glyphs' places, and each glyph's outline is taken from the font
// once per figure and moved to its place, since a figure's texts share most
// of their glyphs: the path is element for element the one
// QPainterPath::addText makes, up to where Qt rounds a glyph's place.
const Walker::Laid& Walker::laidOut(const Style& s, const QString& text)
{
    const QFont font = layoutFont(s);
    const QString key = font.key() + QChar(0x1f) + text;
    const auto found = laid_.constFind(key);
    if (found != laid_.constEnd())
        return *found;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    Laid laid;
    if (line.isValid()) {
        laid.advance = line.horizontalAdvance() / SceneStep::kTextScale;
        for (const QGlyphRun& run : layout.glyphRuns()) {
            const QRawFont raw = run.rawFont();
            const QString face = raw.familyName() + QChar(0x1f) + raw.styleName() + QChar(0x1f) +
                                 QString::number(raw.pixelSize()) + QChar(0x1f) + QString::number(raw.weight());
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> places = run.positions();
            for (qsizetype g = 0; g < glyphs.size() && g < places.size(); ++g) {
                const QString glyphKey = face + QChar(0x1f) + QString::number(glyphs[g]);
                auto outline = glyphs_.constFind(glyphKey);
                if (outline == glyphs_.constEnd())
                    outline = glyphs_.insert(glyphKey, raw.pathForGlyph(glyphs[g]));
                // Places are from the line's top; the baseline is at its ascent.
                laid.path.addPath(outline->translated(places[g] - QPointF(0, line.ascent())));
            }
        }
    }
    laid.path = QTransform::fromScale(1.0 / SceneStep::kTextScale, 1.0 / SceneStep::kTextScale).map(laid.path);
    return *laid_.insert(key, std::move(laid));
}

// The text of n in stretches of one style each; tspans shift the baseline
// by their dy, which holds for what follows them. Returns the shift after n.
double Walker::stretches(const SceneNode& n, const Style& s, double dy, std::vector<Stretch>& out)
{
    for (const SceneNode& child : n.children) {
        if (child.kind == SceneNode::Kind::Chars) {
            out.push_back({s, child.name, dy});
            continue;
        }
        if (child.kind == SceneNode::Kind::Element && child.name == QLatin1String("tspan")) {
            Style inner = s;
            QTransform ignored;
            const double opacity = readAttrs(child, inner, ignored, {"dy"});
            if (opacity != 1 || !ignored.isIdentity())
                note(QStringLiteral("tspan@opacity or transform"));
            double shift = 0;
            const QString d = child.attr("dy");
            if (!d.isEmpty() && !sceneparse::number(d, &shift))
                note(QStringLiteral("tspan@dy=") + d);
            dy = stretches(child, inner, dy + shift, out);
            continue;
        }
        note(QStringLiteral("text>") + (child.kind == SceneNode::Kind::Dots ? QStringLiteral("dots") : child.name));
    }
    return dy;
}

void Walker::text(const SceneNode& n, Style s, const QTransform& world)
{
    double x = 0, y = 0;
    for (const char* name : {"x", "y"}) {
        const QString v = n.attr(name);
        if (!v.isEmpty() && !sceneparse::number(v, name[0] == 'x' ? &x : &y))
            note(QStringLiteral("text@") + QLatin1String(name) + u'=' + v);
    }
    std::vector<Stretch> parts;
    stretches(n, s, 0, parts);
    normaliseSpace(parts);
    std::vector<double> widths(parts.size(), 0);
    double total = 0;
    if (layout_)
        for (size_t k = 0; k < parts.size(); ++k)
            total += widths[k] = laidOut(parts[k].style, parts[k].text).advance;
    // The anchor is the text element's: its stretches form one chunk.
    double at = x - (s.anchor == Style::Anchor::Middle ? total / 2 : s.anchor == Style::Anchor::End ? total : 0);
    for (size_t k = 0; k < parts.size(); ++k) {
        const Stretch& p = parts[k];
        if (p.text.isEmpty())
            continue;
        SceneStep step;
        step.kind = SceneStep::Kind::Text;
        step.transform = world;
        step.font = layoutFont(p.style);
        step.origin = QPointF(at, y + p.dy) * SceneStep::kTextScale;
        step.text = p.text;
        if (layout_) {
            step.path = laidOut(p.style, p.text).path.translated(at, y + p.dy);
            const QRectF box = step.path.boundingRect();
            step.brush = brushOf(p.style.fill, p.style.fillOpacity, box);
            step.pen = penOf(p.style, box);
            const double pad = p.style.strokeWidth * 2 + 1;
            step.bounds = world.mapRect(box.adjusted(-pad, -pad, pad, pad));
        }
        at += widths[k];
        out_.steps.push_back(std::move(step));
        if (layout_ && onText_)
            onText_(out_.steps.size() - 1, out_.steps.back(), out_.viewBox);
    }
}

} // namespace scenewalk
