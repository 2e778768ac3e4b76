// Cutting a figure's SVG into segments and dot groups, in one pass of a
// stream reader: containers (svg, g) are kept open on a stack and opened
// again at the head of each new segment; any other element goes whole into
// the segment being written.
#include "figure_layers.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <optional>

namespace {

struct OpenElement {
    QString name;
    QXmlStreamNamespaceDeclarations namespaces;
    QXmlStreamAttributes attributes;
};

void writeStart(QXmlStreamWriter& w, const OpenElement& e)
{
    for (const QXmlStreamNamespaceDeclaration& n : e.namespaces) {
        if (n.prefix().isEmpty())
            w.writeDefaultNamespace(n.namespaceUri().toString());
        else
            w.writeNamespace(n.namespaceUri().toString(), n.prefix().toString());
    }
    w.writeStartElement(e.name);
    for (const QXmlStreamAttribute& a : e.attributes)
        w.writeAttribute(a.qualifiedName().toString(), a.value().toString());
}

// A whole non-negative number of px, as the figure writers print it.
bool wholeNumber(const char*& p, int* value)
{
    if (*p < '0' || *p > '9')
        return false;
    long v = 0;
    while (*p >= '0' && *p <= '9' && v < 1000000)
        v = v * 10 + (*p++ - '0');
    *value = static_cast<int>(v);
    return v < 1000000;
}

// "Mx yv.1" and "Mx yVy2" (y2 > y) commands, nothing else.
bool parseRuns(const QByteArray& d, std::vector<DotRun>& runs)
{
    const char* p = d.constData();
    while (*p) {
        DotRun r;
        if (*p++ != 'M' || !wholeNumber(p, &r.x) || *p++ != ' ' || !wholeNumber(p, &r.y))
            return false;
        if (p[0] == 'v' && p[1] == '.' && p[2] == '1') {
            p += 3;
        } else {
            int end = 0;
            if (*p++ != 'V' || !wholeNumber(p, &end) || end <= r.y)
                return false;
            r.length = end - r.y;
        }
        runs.push_back(r);
    }
    return true;
}

bool isDotGroup(const QXmlStreamAttributes& a, DotGroup* group)
{
    if (a.value(QLatin1String("fill")) != QLatin1String("none") ||
        a.value(QLatin1String("stroke-linecap")) != QLatin1String("round") ||
        !a.hasAttribute(QLatin1String("stroke")) || !a.hasAttribute(QLatin1String("stroke-width")))
        return false;
    bool ok = false;
    group->width = a.value(QLatin1String("stroke-width")).toDouble(&ok);
    group->colour = QColor::fromString(a.value(QLatin1String("stroke")));
    return ok && group->width > 0 && group->colour.isValid() && group->colour.alpha() == 255;
}

class Splitter {
public:
    Splitter(const QByteArray& svg, FigureLayers& layers) : in_(svg), layers_(layers) { startSegment(); }

    bool run()
    {
        while (!in_.atEnd()) {
            const QXmlStreamReader::TokenType t = in_.readNext();
            if (t == QXmlStreamReader::StartElement) {
                if (!startElement())
                    return false;
            } else if (t == QXmlStreamReader::EndElement) {
                if (open_.empty())
                    return false;
                open_.pop_back();
                out_->writeEndElement();
            }
        }
        if (in_.hasError() || !open_.empty())
            return false;
        finishSegment();
        return true;
    }

private:
    bool startElement()
    {
        const QStringView name = in_.name();
        const QXmlStreamAttributes attributes = in_.attributes();
        if (name != QLatin1String("svg") && name != QLatin1String("g")) {
            copyElement();
            drawn_ = true;
            return !in_.hasError();
        }
        if (attributes.hasAttribute(QLatin1String("transform")))
            return false;
        if (open_.empty() && !readViewBox(attributes.value(QLatin1String("viewBox"))))
            return false;
        DotGroup group;
        if (name == QLatin1String("g") && isDotGroup(attributes, &group))
            return readDotGroup(std::move(group));
        open_.push_back({in_.qualifiedName().toString(), in_.namespaceDeclarations(), attributes});
        writeStart(*out_, open_.back());
        return true;
    }

    bool readViewBox(QStringView text)
    {
        const QList<QStringView> parts = text.split(u' ', Qt::SkipEmptyParts);
        if (parts.size() != 4)
            return false;
        double v[4];
        for (int k = 0; k < 4; ++k) {
            bool ok = false;
            v[k] = parts[k].toDouble(&ok);
            if (!ok)
                return false;
        }
        layers_.viewBox = QRectF(v[0], v[1], v[2], v[3]);
        return v[2] > 0 && v[3] > 0;
    }

    // The element just started, with all it holds.
    void copyElement()
    {
        int depth = 0;
        do {
            if (in_.tokenType() == QXmlStreamReader::StartElement)
                ++depth;
            else if (in_.tokenType() == QXmlStreamReader::EndElement)
                --depth;
            out_->writeCurrentToken(in_);
        } while (depth > 0 && !in_.atEnd() && (in_.readNext(), true));
    }

    bool readDotGroup(DotGroup group)
    {
        while (in_.readNextStartElement()) {
            if (in_.name() == QLatin1String("title")) {
                in_.skipCurrentElement();
                continue;
            }
            if (in_.name() != QLatin1String("path") || in_.attributes().hasAttribute(QLatin1String("transform")) ||
                !parseRuns(in_.attributes().value(QLatin1String("d")).toLatin1(), group.runs))
                return false;
            in_.skipCurrentElement();
        }
        if (in_.hasError())
            return false;
        if (!drawn_ && !layers_.dots.empty()) { // nothing since the last dot group
            layers_.dots.back().push_back(std::move(group));
            return true;
        }
        finishSegment();
        layers_.dots.push_back({std::move(group)});
        startSegment();
        for (const OpenElement& e : open_)
            writeStart(*out_, e);
        return true;
    }

    void startSegment()
    {
        drawn_ = false;
        text_.clear();
        out_.emplace(&text_);
        out_->writeStartDocument();
    }

    void finishSegment()
    {
        for (size_t k = open_.size(); k > 0; --k)
            out_->writeEndElement();
        out_->writeEndDocument();
        layers_.segments.push_back(text_);
    }

    QXmlStreamReader in_;
    FigureLayers& layers_;
    QByteArray text_;
    std::optional<QXmlStreamWriter> out_;
    std::vector<OpenElement> open_;
    bool drawn_ = false; // the segment being written holds an element to draw
};

} // namespace

bool splitFigureLayers(const QByteArray& svg, FigureLayers* layers)
{
    FigureLayers out;
    if (!Splitter(svg, out).run())
        return false;
    *layers = std::move(out);
    return true;
}
