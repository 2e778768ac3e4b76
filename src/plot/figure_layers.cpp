// Cutting a figure's SVG into segments and dot groups, in one pass of a
// stream reader: containers (svg, g) are kept open on a stack and opened
// again at the head of each new segment; any other element goes whole into
// the segment being written of each band it may reach.
#include "plot/figure_layers.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
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

double number(const QXmlStreamAttributes& a, const char* name, bool* ok)
{
    bool here = false;
    const double v = a.value(QLatin1String(name)).toDouble(&here);
    *ok = *ok && here;
    return v;
}

// The y coordinates of a path of absolute M, L, H, V and Z commands.
bool pathExtent(QStringView d, double* top, double* bottom)
{
    QChar command;
    int coordinate = 0; // of the current command's arguments
    bool any = false;
    for (qsizetype i = 0; i < d.size();) {
        const QChar c = d[i];
        if (c == u' ' || c == u',') {
            ++i;
            continue;
        }
        if (c.isLetter()) {
            if (!QStringView(u"MLHVZ").contains(c))
                return false;
            command = c;
            coordinate = 0;
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < d.size() && (d[j].isDigit() || d[j] == u'.' || d[j] == u'e' ||
                                ((d[j] == u'-' || d[j] == u'+') && (d[j - 1] == u'e'))))
            ++j;
        bool ok = false;
        const double v = d.mid(i, j - i).toDouble(&ok);
        if (!ok)
            return false;
        const bool isY = command == u'V' || ((command == u'M' || command == u'L') && coordinate % 2 == 1);
        if (isY) {
            *top = any ? std::min(*top, v) : v;
            *bottom = any ? std::max(*bottom, v) : v;
            any = true;
        }
        ++coordinate;
        i = j;
    }
    return any;
}

// How far up and down an element may draw, in px: generous, since a band
// that holds an element for nothing only lays it out once more, while one
// that misses it would cut it. False when the extent is not known.
bool verticalExtent(QStringView name, const QXmlStreamAttributes& a, double* top, double* bottom)
{
    if (a.hasAttribute(QLatin1String("transform")))
        return false;
    bool ok = true;
    double margin = 8;
    if (a.hasAttribute(QLatin1String("stroke-width")))
        margin += number(a, "stroke-width", &ok);
    if (name == QLatin1String("rect")) {
        *top = number(a, "y", &ok);
        *bottom = *top + number(a, "height", &ok);
    } else if (name == QLatin1String("line")) {
        const double y1 = number(a, "y1", &ok), y2 = number(a, "y2", &ok);
        *top = std::min(y1, y2);
        *bottom = std::max(y1, y2);
    } else if (name == QLatin1String("circle")) {
        const double cy = number(a, "cy", &ok), r = number(a, "r", &ok);
        *top = cy - r;
        *bottom = cy + r;
    } else if (name == QLatin1String("text")) {
        // From the baseline, ascenders above and descenders below: within
        // the font size each way.
        const double y = number(a, "y", &ok), size = number(a, "font-size", &ok);
        *top = y - size;
        *bottom = y + size;
    } else if (name == QLatin1String("path")) {
        ok = ok && pathExtent(a.value(QLatin1String("d")), top, bottom);
    } else {
        return false;
    }
    *top -= margin;
    *bottom += margin;
    return ok;
}

class Splitter {
public:
    Splitter(const QByteArray& svg, int bands, FigureLayers& layers)
        : in_(svg), layers_(layers), bands_(static_cast<size_t>(bands))
    {
        layers_.segments.resize(bands_.size());
        startSegment();
    }

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
                for (Band& b : bands_)
                    b.out->writeEndElement();
            }
        }
        if (in_.hasError() || !open_.empty())
            return false;
        finishSegment();
        return true;
    }

private:
    struct Band {
        QByteArray text;
        std::optional<QXmlStreamWriter> out;
        double top = 0, bottom = 0; // in px
    };

    bool startElement()
    {
        const QStringView name = in_.name();
        if (isNote(name)) {
            in_.skipCurrentElement();
            return !in_.hasError();
        }
        const QXmlStreamAttributes attributes = in_.attributes();
        if (name != QLatin1String("svg") && name != QLatin1String("g")) {
            copyElement(name, attributes);
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
        for (Band& b : bands_)
            writeStart(*b.out, open_.back());
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
        const size_t n = bands_.size();
        for (size_t k = 0; k < n; ++k) {
            bands_[k].top = v[1] + v[3] * double(k) / double(n);
            bands_[k].bottom = v[1] + v[3] * double(k + 1) / double(n);
        }
        return v[2] > 0 && v[3] > 0;
    }

    // The element just started, with all it holds, into the bands it may
    // reach.
    void copyElement(QStringView name, const QXmlStreamAttributes& attributes)
    {
        double top = 0, bottom = 0;
        const bool known = verticalExtent(name, attributes, &top, &bottom);
        std::vector<QXmlStreamWriter*> to;
        for (Band& b : bands_)
            if (!known || (bottom >= b.top && top <= b.bottom))
                to.push_back(&*b.out);
        int depth = 0;
        do {
            if (in_.tokenType() == QXmlStreamReader::StartElement) {
                if (depth > 0 && isNote(in_.name())) {
                    in_.skipCurrentElement();
                    continue;
                }
                ++depth;
            } else if (in_.tokenType() == QXmlStreamReader::EndElement) {
                --depth;
            }
            for (QXmlStreamWriter* w : to)
                w->writeCurrentToken(in_);
        } while (depth > 0 && !in_.atEnd() && (in_.readNext(), true));
    }

    // Titles (tooltips) and descriptions draw nothing: left out.
    static bool isNote(QStringView name) { return name == QLatin1String("title") || name == QLatin1String("desc"); }

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
        for (Band& b : bands_)
            for (const OpenElement& e : open_)
                writeStart(*b.out, e);
        return true;
    }

    void startSegment()
    {
        drawn_ = false;
        for (Band& b : bands_) {
            b.text.clear();
            b.out.emplace(&b.text);
            b.out->writeStartDocument();
        }
    }

    void finishSegment()
    {
        for (size_t k = 0; k < bands_.size(); ++k) {
            Band& b = bands_[k];
            for (size_t e = open_.size(); e > 0; --e)
                b.out->writeEndElement();
            b.out->writeEndDocument();
            layers_.segments[k].push_back(b.text);
        }
    }

    QXmlStreamReader in_;
    FigureLayers& layers_;
    std::vector<Band> bands_;
    std::vector<OpenElement> open_;
    bool drawn_ = false; // the segment being written holds an element to draw
};

} // namespace

bool splitFigureLayers(const QByteArray& svg, int bands, FigureLayers* layers)
{
    FigureLayers out;
    if (bands < 1 || !Splitter(svg, bands, out).run())
        return false;
    *layers = std::move(out);
    return true;
}
