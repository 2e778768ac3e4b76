// The SVG writer of the figure's scene: QXmlStreamWriter with indentation
// of one space, auto-formatting off inside mixed text, dot groups split into
// short paths.
#include "plot/figure_scene.h"

#include "plot/plot_canvas.h"

#include <QBuffer>
#include <QXmlStreamWriter>

QString SceneNode::attr(const char* wanted) const
{
    const QLatin1String key(wanted);
    for (const SceneAttr& a : attrs)
        if (a.name == key)
            return a.value;
    return QString();
}

namespace {

void writeDots(QXmlStreamWriter& x, const SceneNode& n)
{
    x.writeStartElement(QStringLiteral("g"));
    x.writeAttribute(QStringLiteral("class"), n.cssClass + QLatin1String("-group"));
    x.writeAttribute(QStringLiteral("fill"), QStringLiteral("none"));
    x.writeAttribute(QStringLiteral("stroke"), n.colour);
    x.writeAttribute(QStringLiteral("stroke-width"), svgNumber(plotstyle::kDotWidth));
    x.writeAttribute(QStringLiteral("stroke-linecap"), QStringLiteral("round"));
    if (!n.title.isEmpty()) {
        x.writeStartElement(QStringLiteral("title"));
        x.writeCharacters(n.title);
        x.writeEndElement();
    }
    // Paths of at most kCommands dots or strokes: renderers stroke one long
    // path of round-capped dots many times slower than short ones.
    constexpr int kCommands = 32;
    const std::string& d = n.path;
    size_t from = 0;
    while (from < d.size()) {
        size_t to = from;
        for (int k = 0; k < kCommands && to < d.size(); ++k) {
            const size_t next = d.find('M', to + 1);
            to = next == std::string::npos ? d.size() : next;
        }
        x.writeStartElement(QStringLiteral("path"));
        x.writeAttribute(QStringLiteral("class"), n.cssClass);
        x.writeAttribute(QStringLiteral("d"), QString::fromLatin1(d.data() + from, static_cast<qsizetype>(to - from)));
        x.writeEndElement();
        from = to;
    }
    x.writeEndElement();
}

// Depth-first; the depth of the tree is a handful of groups.
void writeNode(QXmlStreamWriter& x, const SceneNode& n)
{
    switch (n.kind) {
    case SceneNode::Kind::Chars:
        x.writeCharacters(n.name);
        return;
    case SceneNode::Kind::Dots:
        writeDots(x, n);
        return;
    case SceneNode::Kind::Element:
        break;
    }
    x.writeStartElement(n.name);
    const bool formatting = x.autoFormatting();
    if (n.mixed)
        x.setAutoFormatting(false);
    for (const SceneAttr& a : n.attrs) {
        if (a.ns.isEmpty())
            x.writeAttribute(a.name, a.value);
        else
            x.writeAttribute(a.ns, a.name, a.value);
    }
    for (const SceneNode& child : n.children)
        writeNode(x, child);
    x.writeEndElement();
    x.setAutoFormatting(formatting);
}

} // namespace

bool writeSceneSvg(const Scene& scene, QIODevice& out)
{
    QXmlStreamWriter x(&out);
    x.setAutoFormatting(true);
    x.setAutoFormattingIndent(1);
    x.writeStartDocument();
    for (const SceneNamespace& ns : scene.namespaces) {
        if (ns.prefix.isEmpty())
            x.writeDefaultNamespace(ns.uri);
        else
            x.writeNamespace(ns.uri, ns.prefix);
    }
    if (!scene.root.name.isEmpty())
        writeNode(x, scene.root);
    x.writeEndDocument();
    return !x.hasError();
}

QByteArray sceneSvg(const Scene& scene)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    writeSceneSvg(scene, buffer);
    return out;
}
