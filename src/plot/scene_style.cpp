// The attributes of a scene's elements read into the inherited style, and
// the paints and pens of a painting step.
#include "plot/scene_walker.h"

#include "plot/scene_parse.h"

#include <QLinearGradient>

#include <algorithm>

namespace scenewalk {

void Walker::note(const QString& what)
{
    if (!noted_.contains(what)) {
        noted_.insert(what);
        out_.notUnderstood << what;
    }
}

// Style and element-wide attributes; geometry names those the element
// reads itself. Returns the element's opacity.
double Walker::readAttrs(const SceneNode& n, Style& s, QTransform& world, std::initializer_list<const char*> geometry)
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

bool Walker::paintOf(const QString& v, Paint* p)
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

bool Walker::styleAttr(const QString& name, const QString& v, Style& s, double& opacity, QTransform& world)
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
        static constexpr std::pair<const char*, Qt::PenCapStyle> kCaps[] = {
            {"butt", Qt::FlatCap}, {"round", Qt::RoundCap}, {"square", Qt::SquareCap}};
        for (const auto& c : kCaps)
            if (v == QLatin1String(c.first))
                return s.cap = c.second, true;
        return false;
    }
    if (is("stroke-linejoin")) {
        static constexpr std::pair<const char*, Qt::PenJoinStyle> kJoins[] = {
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

void Walker::collectGradients(const SceneNode& n)
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

QBrush Walker::brushOf(const Paint& p, double opacity, const QRectF& box) const
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

QPen Walker::penOf(const Style& s, const QRectF& box) const
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

void Walker::addShape(QPainterPath path, const Style& s, const QTransform& world, bool filled)
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

} // namespace scenewalk
