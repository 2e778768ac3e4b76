// Reading a scene into painting steps: one depth-first walk that carries the
// inherited style (SVG's presentation attributes) and the transform down
// the tree, lays out text stretch by stretch and notes what it does not
// know.
#include "plot/scene_painter.h"

#include "plot/plot_canvas.h"
#include "plot/scene_parse.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

struct Paint {
    enum class Kind { None, Colour, Url } kind = Kind::None;
    QColor colour;
    QString id; // Url
};

// The inherited properties (opacity and transform are not inherited: they
// apply to the element and its subtree as a whole).
struct Style {
    Paint fill{Paint::Kind::Colour, QColor(Qt::black), QString()};
    Paint stroke;
    double fillOpacity = 1, strokeOpacity = 1, strokeWidth = 1, miterLimit = 4, dashOffset = 0;
    QVector<qreal> dash;
    Qt::PenCapStyle cap = Qt::FlatCap;
    Qt::PenJoinStyle join = Qt::SvgMiterJoin;
    QStringList families{QStringLiteral("sans-serif")};
    double fontSize = 16;
    int weight = 400;
    enum class Anchor { Start, Middle, End } anchor = Anchor::Start;
    bool preserveSpace = false;
};

struct Gradient {
    QGradientStops stops;
    double x1 = 0, y1 = 0, x2 = 1, y2 = 0; // fractions of the bounding box
};

// A stretch of a text element in one style, at a y offset from the text's y.
struct Stretch {
    Style style;
    QString text;
    double dy = 0;
};

class Walker {
public:
    Walker(SceneDrawing& out, bool layoutText) : out_(out), layout_(layoutText) {}

    void root(const SceneNode& n)
    {
        collectGradients(n);
        if (n.kind != SceneNode::Kind::Element || n.name != QLatin1String("svg")) {
            note(QStringLiteral("root ") + n.name);
            return;
        }
        double w = 0, h = 0;
        sceneparse::number(n.attr("width"), &w);
        sceneparse::number(n.attr("height"), &h);
        out_.size = QSize(static_cast<int>(std::lround(w)), static_cast<int>(std::lround(h)));
        out_.viewBox = QRectF(0, 0, w, h);
        const QString box = n.attr("viewBox");
        if (!box.isEmpty()) {
            const QStringList parts = box.simplified().split(u' ');
            double v[4] = {};
            bool ok = parts.size() == 4;
            for (int k = 0; ok && k < 4; ++k)
                ok = sceneparse::number(parts[k], &v[k]);
            if (ok && v[2] > 0 && v[3] > 0)
                out_.viewBox = QRectF(v[0], v[1], v[2], v[3]);
            else
                note(QStringLiteral("svg@viewBox=") + box);
        }
        element(n, Style(), QTransform());
    }

private:
    void note(const QString& what)
    {
        if (!noted_.contains(what)) {
            noted_.insert(what);
            out_.notUnderstood << what;
        }
    }

    // Style and element-wide attributes; geometry names those the element
    // reads itself. Returns the element's opacity.
    double readAttrs(const SceneNode& n, Style& s, QTransform& world, std::initializer_list<const char*> geometry)
    {
        double opacity = 1;
        for (const SceneAttr& a : n.attrs) {
            const QString& v = a.value;
            if (!a.ns.isEmpty() || a.name == QLatin1String("class") || a.name == QLatin1String("id") ||
                a.name.startsWith(QLatin1String("data-")))
                continue;
            if (std::any_of(geometry.begin(), geometry.end(), [&](const char* g) { return a.name == QLatin1String(g); }))
                continue;
            if (!styleAttr(a.name, v, s, opacity, world))
                note(n.name + u'@' + a.name + u'=' + v);
        }
        return opacity;
    }

    bool paintOf(const QString& v, Paint* p)
    {
        const QString t = v.trimmed();
        if (t == QLatin1String("none")) {
            *p = Paint();
            return true;
        }
        if (t.startsWith(QLatin1String("url(#")) && t.endsWith(u')')) {
            *p = Paint{Paint::Kind::Url, QColor(), t.mid(5, t.size() - 6)};
            return gradients_.count(p->id) > 0;
        }
        p->kind = Paint::Kind::Colour;
        return sceneparse::colour(t, &p->colour);
    }

    bool styleAttr(const QString& name, const QString& v, Style& s, double& opacity, QTransform& world)
    {
        double x = 0;
        const auto is = [&](const char* n) { return name == QLatin1String(n); };
        if (is("fill"))
            return paintOf(v, &s.fill);
        if (is("stroke"))
            return paintOf(v, &s.stroke);
        if (is("stroke-width"))
            return sceneparse::number(v, &x) && x >= 0 && (s.strokeWidth = x, true);
        if (is("fill-opacity"))
            return sceneparse::fraction(v, &x) && (s.fillOpacity = std::clamp(x, 0.0, 1.0), true);
        if (is("stroke-opacity"))
            return sceneparse::fraction(v, &x) && (s.strokeOpacity = std::clamp(x, 0.0, 1.0), true);
        if (is("opacity"))
            return sceneparse::fraction(v, &x) && (opacity = std::clamp(x, 0.0, 1.0), true);
        if (is("stroke-dasharray"))
            return sceneparse::dashArray(v, &s.dash);
        if (is("stroke-dashoffset"))
            return sceneparse::number(v, &x) && (s.dashOffset = x, true);
        if (is("stroke-miterlimit"))
            return sceneparse::number(v, &x) && x >= 1 && (s.miterLimit = x, true);
        if (is("stroke-linecap")) {
            static const std::pair<const char*, Qt::PenCapStyle> kCaps[] = {
                {"butt", Qt::FlatCap}, {"round", Qt::RoundCap}, {"square", Qt::SquareCap}};
            for (const auto& c : kCaps)
                if (v == QLatin1String(c.first))
                    return s.cap = c.second, true;
            return false;
        }
        if (is("stroke-linejoin")) {
            static const std::pair<const char*, Qt::PenJoinStyle> kJoins[] = {
                {"miter", Qt::SvgMiterJoin}, {"round", Qt::RoundJoin}, {"bevel", Qt::BevelJoin}};
            for (const auto& j : kJoins)
                if (v == QLatin1String(j.first))
                    return s.join = j.second, true;
            return false;
        }
        if (is("font-family"))
            return !(s.families = sceneparse::fontFamilies(v)).isEmpty();
        if (is("font-size"))
            return sceneparse::number(v, &x) && x > 0 && (s.fontSize = x, true);
        if (is("font-weight")) {
            if (v == QLatin1String("bold"))
                return s.weight = 700, true;
            if (v == QLatin1String("normal"))
                return s.weight = 400, true;
            return sceneparse::number(v, &x) && x >= 1 && x <= 1000 && (s.weight = static_cast<int>(x), true);
        }
        if (is("text-anchor")) {
            if (v == QLatin1String("start"))
                return s.anchor = Style::Anchor::Start, true;
            if (v == QLatin1String("middle"))
                return s.anchor = Style::Anchor::Middle, true;
            if (v == QLatin1String("end"))
                return s.anchor = Style::Anchor::End, true;
            return false;
        }
        if (is("xml:space"))
            return (v == QLatin1String("preserve") || v == QLatin1String("default")) &&
                   (s.preserveSpace = v == QLatin1String("preserve"), true);
        if (is("transform")) {
            QTransform t;
            if (!sceneparse::transform(v, &t))
                return false;
            world = t * world;
            return true;
        }
        return false;
    }

    void collectGradients(const SceneNode& n)
    {
        if (n.kind != SceneNode::Kind::Element)
            return;
        if (n.name == QLatin1String("linearGradient")) {
            Gradient g;
            for (const SceneAttr& a : n.attrs) {
                double* at = a.name == QLatin1String("x1")   ? &g.x1
                             : a.name == QLatin1String("y1") ? &g.y1
                             : a.name == QLatin1String("x2") ? &g.x2
                             : a.name == QLatin1String("y2") ? &g.y2
                                                             : nullptr;
                if (at ? !sceneparse::fraction(a.value, at) : a.name != QLatin1String("id"))
                    note(QStringLiteral("linearGradient@") + a.name + u'=' + a.value);
            }
            for (const SceneNode& stop : n.children) {
                if (stop.kind != SceneNode::Kind::Element || stop.name != QLatin1String("stop")) {
                    note(QStringLiteral("linearGradient>") + stop.name);
                    continue;
                }
                double offset = 0, alpha = 1;
                QColor c(Qt::black);
                for (const SceneAttr& a : stop.attrs) {
                    const bool ok = a.name == QLatin1String("offset")       ? sceneparse::fraction(a.value, &offset)
                                    : a.name == QLatin1String("stop-color")   ? sceneparse::colour(a.value, &c)
                                    : a.name == QLatin1String("stop-opacity") ? sceneparse::fraction(a.value, &alpha)
                                                                              : false;
                    if (!ok)
                        note(QStringLiteral("stop@") + a.name + u'=' + a.value);
                }
                c.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0) * c.alphaF()));
                // Offsets never decrease along the list, as SVG clamps them.
                const double last = g.stops.isEmpty() ? 0 : g.stops.back().first;
                g.stops.push_back({std::clamp(offset, last, 1.0), c});
            }
            gradients_[n.attr("id")] = g;
            return;
        }
        for (const SceneNode& child : n.children)
            collectGradients(child);
    }

    QBrush brushOf(const Paint& p, double opacity, const QRectF& box) const
    {
        if (p.kind == Paint::Kind::Colour) {
            QColor c = p.colour;
            c.setAlphaF(static_cast<float>(c.alphaF() * opacity));
            return c;
        }
        if (p.kind == Paint::Kind::None)
            return Qt::NoBrush;
        const Gradient& g = gradients_.at(p.id);
        QLinearGradient lg(box.left() + g.x1 * box.width(), box.top() + g.y1 * box.height(),
                           box.left() + g.x2 * box.width(), box.top() + g.y2 * box.height());
        QGradientStops stops = g.stops;
        for (auto& s : stops)
            s.second.setAlphaF(static_cast<float>(s.second.alphaF() * opacity));
        lg.setStops(stops);
        return lg;
    }

    QPen penOf(const Style& s, const QRectF& box) const
    {
        if (s.stroke.kind == Paint::Kind::None || s.strokeWidth <= 0)
            return QPen(Qt::NoPen);
        QPen pen(brushOf(s.stroke, s.strokeOpacity, box), s.strokeWidth, Qt::SolidLine, s.cap, s.join);
        pen.setMiterLimit(s.miterLimit);
        if (!s.dash.isEmpty()) {
            // Qt counts dashes in pen widths.
            QVector<qreal> dash = s.dash;
            for (qreal& d : dash)
                d /= s.strokeWidth;
            pen.setDashPattern(dash);
            pen.setDashOffset(s.dashOffset / s.strokeWidth);
        }
        return pen;
    }

    void addShape(QPainterPath path, const Style& s, const QTransform& world, bool filled = true)
    {
        SceneStep step;
        step.kind = SceneStep::Kind::Shape;
        step.transform = world;
        const QRectF box = path.boundingRect();
        if (filled)
            step.brush = brushOf(s.fill, s.fillOpacity, box);
        step.pen = penOf(s, box);
        const double pad = step.pen.style() == Qt::NoPen ? 1 : s.strokeWidth * std::max(s.miterLimit, 1.0) + 1;
        step.bounds = world.mapRect(box.adjusted(-pad, -pad, pad, pad));
        step.path = std::move(path);
        out_.steps.push_back(std::move(step));
    }

    void element(const SceneNode& n, Style s, QTransform world);
    void shape(const SceneNode& n, const Style& s, const QTransform& world);
    void dots(const SceneNode& n, const Style& s, const QTransform& world);
    void text(const SceneNode& n, Style s, const QTransform& world);
    double stretches(const SceneNode& n, const Style& s, double dy, std::vector<Stretch>& out);

    SceneDrawing& out_;
    bool layout_;
    std::map<QString, Gradient> gradients_;
    QSet<QString> noted_;
};

bool isOneOf(const QString& name, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == QLatin1String(n); });
}

void Walker::element(const SceneNode& n, Style s, QTransform world)
{
    if (n.kind == SceneNode::Kind::Dots) {
        dots(n, s, world);
        return;
    }
    if (n.kind == SceneNode::Kind::Chars)
        return; // only text elements show their characters
    if (isOneOf(n.name, {"title", "desc", "defs", "linearGradient"}))
        return; // not drawn; gradients are read beforehand
    double opacity = 1;
    if (isOneOf(n.name, {"svg", "g"}))
        opacity = readAttrs(n, s, world, {"width", "height", "viewBox", "version"});
    else if (isOneOf(n.name, {"rect", "circle", "line", "path"}))
        opacity = readAttrs(n, s, world, {"x", "y", "width", "height", "cx", "cy", "r", "x1", "y1", "x2", "y2", "d"});
    else if (n.name == QLatin1String("text"))
        opacity = readAttrs(n, s, world, {"x", "y"});
    else {
        note(n.name);
        return;
    }
    if (opacity <= 0)
        return;
    const bool layer = opacity < 1;
    if (layer) {
        SceneStep begin;
        begin.kind = SceneStep::Kind::BeginLayer;
        begin.opacity = opacity;
        out_.steps.push_back(begin);
    }
    if (n.name == QLatin1String("text"))
        text(n, s, world);
    else if (isOneOf(n.name, {"svg", "g"}))
        for (const SceneNode& child : n.children)
            element(child, s, world);
    else
        shape(n, s, world);
    if (layer) {
        SceneStep end;
        end.kind = SceneStep::Kind::EndLayer;
        out_.steps.push_back(end);
    }
}

void Walker::shape(const SceneNode& n, const Style& s, const QTransform& world)
{
    const auto num = [&](const char* name) {
        const QString v = n.attr(name);
        double x = 0;
        if (!v.isEmpty() && !sceneparse::number(v, &x))
            note(n.name + u'@' + QLatin1String(name) + u'=' + v);
        return x;
    };
    for (const SceneNode& child : n.children)
        if (child.kind != SceneNode::Kind::Element || !isOneOf(child.name, {"title", "desc"}))
            note(n.name + u'>' + (child.kind == SceneNode::Kind::Element ? child.name : QStringLiteral("text")));
    QPainterPath path;
    if (n.name == QLatin1String("rect")) {
        const double w = num("width"), h = num("height");
        if (w <= 0 || h <= 0)
            return;
        path.addRect(num("x"), num("y"), w, h);
    } else if (n.name == QLatin1String("circle")) {
        const double r = num("r");
        if (r <= 0)
            return;
        path.addEllipse(QPointF(num("cx"), num("cy")), r, r);
    } else if (n.name == QLatin1String("line")) {
        path.moveTo(num("x1"), num("y1"));
        path.lineTo(num("x2"), num("y2"));
        addShape(std::move(path), s, world, false); // lines have no inside
        return;
    } else if (!sceneparse::pathData(n.attr("d"), &path)) {
        note(QStringLiteral("path@d=") + n.attr("d").left(40));
    }
    addShape(std::move(path), s, world);
}

void Walker::dots(const SceneNode& n, const Style& inherited, const QTransform& world)
{
    // The group's own attributes, as writeSceneSvg writes them.
    Style s = inherited;
    s.fill = Paint();
    s.cap = Qt::RoundCap;
    s.strokeWidth = plotstyle::kDotWidth;
    if (!paintOf(n.colour, &s.stroke) || s.stroke.kind != Paint::Kind::Colour) {
        note(QStringLiteral("dots@stroke=") + n.colour);
        return;
    }
    SceneStep step;
    step.kind = SceneStep::Kind::Dots;
    step.transform = world;
    step.dots.colour = s.stroke.colour;
    step.dots.colour.setAlphaF(static_cast<float>(s.stroke.colour.alphaF() * s.strokeOpacity));
    step.dots.width = s.strokeWidth;
    step.pen = penOf(s, QRectF());
    step.stamped = world.isIdentity() && s.dash.isEmpty() && parseDotRuns(n.path, &step.dots.runs);
    if (!step.stamped) {
        step.dots.runs.clear();
        if (!sceneparse::pathData(n.path.data(), n.path.size(), &step.path))
            note(QStringLiteral("dots@d=") + QString::fromLatin1(n.path.substr(0, 40)));
        const double pad = s.strokeWidth + 1;
        step.bounds = world.mapRect(step.path.boundingRect().adjusted(-pad, -pad, pad, pad));
    }
    out_.steps.push_back(std::move(step));
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

double advanceOf(const Style& s, const QString& text)
{
    return QFontMetricsF(layoutFont(s)).horizontalAdvance(text) / SceneStep::kTextScale;
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
            total += widths[k] = advanceOf(parts[k].style, parts[k].text);
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
            step.path.addText(step.origin, step.font, p.text);
            step.path = QTransform::fromScale(1.0 / SceneStep::kTextScale, 1.0 / SceneStep::kTextScale).map(step.path);
            const QRectF box = step.path.boundingRect();
            step.brush = brushOf(p.style.fill, p.style.fillOpacity, box);
            step.pen = penOf(p.style, box);
            const double pad = p.style.strokeWidth * 2 + 1;
            step.bounds = world.mapRect(box.adjusted(-pad, -pad, pad, pad));
        }
        at += widths[k];
        out_.steps.push_back(std::move(step));
    }
}

} // namespace

SceneDrawing drawScene(const Scene& scene, bool layoutText)
{
    SceneDrawing out;
    if (!scene.root.name.isEmpty())
        Walker(out, layoutText).root(scene.root);
    return out;
}

QStringList sceneNotUnderstood(const Scene& scene)
{
    return drawScene(scene, false).notUnderstood;
}

QSize sceneSize(const Scene& scene)
{
    double w = 0, h = 0;
    if (!sceneparse::number(scene.root.attr("width"), &w) || !sceneparse::number(scene.root.attr("height"), &h))
        return QSize();
    return QSize(static_cast<int>(std::lround(w)), static_cast<int>(std::lround(h)));
}
