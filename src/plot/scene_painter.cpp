// Reading a scene into painting steps: one depth-first walk that carries the
// inherited style (SVG's presentation attributes) and the transform down
// the tree, and notes what it does not know.
#include "plot/scene_painter.h"

#include "plot/plot_canvas.h"
#include "plot/scene_parse.h"
#include "plot/scene_walker.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace scenewalk {

void Walker::root(const SceneNode& n)
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

namespace {
bool isOneOf(const QString& name, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == QLatin1String(n); });
}
} // namespace

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
    auto group = std::make_shared<DotGroup>();
    group->colour = s.stroke.colour;
    group->colour.setAlphaF(static_cast<float>(s.stroke.colour.alphaF() * s.strokeOpacity));
    group->width = s.strokeWidth;
    step.pen = penOf(s, QRectF());
    step.stamped = world.isIdentity() && s.dash.isEmpty() && parseDotRuns(n.path, &group->runs);
    if (step.stamped) {
        step.dots = std::move(group);
    } else {
        if (!sceneparse::pathData(n.path.data(), n.path.size(), &step.path))
            note(QStringLiteral("dots@d=") + QString::fromLatin1(n.path.substr(0, 40)));
        const double pad = s.strokeWidth + 1;
        step.bounds = world.mapRect(step.path.boundingRect().adjusted(-pad, -pad, pad, pad));
    }
    out_.steps.push_back(std::move(step));
}

} // namespace scenewalk

SceneDrawing drawScene(const Scene& scene, bool layoutText, const SceneTextHook& onText)
{
    SceneDrawing out;
    if (!scene.root.name.isEmpty())
        scenewalk::Walker(out, layoutText, onText).root(scene.root);
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
