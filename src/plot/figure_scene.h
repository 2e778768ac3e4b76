// The figure as a scene: the tree of elements the panels draw (groups,
// shapes, text with tspans, dot groups) held in memory, and its SVG writer.
// The panels build it through SvgCanvas (plot_canvas.h); back ends read it,
// none reads another's output.
#pragma once
#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

class QIODevice;

// One attribute of an element; ns is the namespace URI of a prefixed
// attribute (such as Inkscape's) or empty.
struct SceneAttr {
    QString ns, name, value;
};

// A node of the scene. Element: an SVG element with its attributes (in
// writing order) and children. Chars: text content (name holds it, already
// made safe for XML). Dots: a dot group (SvgCanvas::dotPath) kept whole, so
// that a painter can stamp its dots: cssClass, colour, title and the path
// commands.
struct SceneNode {
    enum class Kind { Element, Chars, Dots };
    Kind kind = Kind::Element;
    QString name;
    std::vector<SceneAttr> attrs;
    std::vector<SceneNode> children;
    // Text with tspans: written without line breaks or indentation inside,
    // which would show as spaces.
    bool mixed = false;
    // Dots only.
    QString cssClass, colour, title;
    std::string path;

    // The value of the attribute name (without namespace), or an empty string.
    QString attr(const char* name) const;
};

struct SceneNamespace {
    QString prefix; // empty for the default namespace
    QString uri;
};

// The whole figure: the namespaces declared on the root and the root element
// (svg). An empty root name means nothing was drawn.
struct Scene {
    std::vector<SceneNamespace> namespaces;
    SceneNode root;
};

// Writes the scene as an SVG document to out (open for writing); false
// when a write failed.
bool writeSceneSvg(const Scene& scene, QIODevice& out);
QByteArray sceneSvg(const Scene& scene);
