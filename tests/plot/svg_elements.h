// The elements of a figure with a class attribute, in document order, for
// the structure checks of the plot tests.
#pragma once
#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <functional>
#include <map>
#include <vector>

struct SvgElement {
    QString name, cls, text; // text: of a text element, without its children's markup
    std::map<QString, QString> attributes;
    double number(const char* attribute) const { return attributes.at(QString::fromLatin1(attribute)).toDouble(); }
};

// Every element with a class; error is set when the document does not parse.
inline std::vector<SvgElement> classedElements(const QByteArray& svg, QString* error)
{
    std::vector<SvgElement> out;
    QXmlStreamReader r(svg);
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString cls = r.attributes().value(QLatin1String("class")).toString();
        if (cls.isEmpty())
            continue;
        SvgElement e{r.name().toString(), cls, QString(), {}};
        for (const QXmlStreamAttribute& a : r.attributes())
            e.attributes[a.qualifiedName().toString()] = a.value().toString();
        if (e.name == u"text")
            e.text = r.readElementText(QXmlStreamReader::IncludeChildElements);
        out.push_back(e);
    }
    if (error)
        *error = r.hasError() ? r.errorString() : QString();
    return out;
}

inline std::vector<SvgElement> ofClass(const std::vector<SvgElement>& all, const char* cls)
{
    std::vector<SvgElement> out;
    for (const SvgElement& e : all)
        if (e.cls == QLatin1String(cls))
            out.push_back(e);
    return out;
}

// Calls each with the reader at every start element, and the ids of the
// groups that enclose it (innermost last). each may read the element's
// text. Returns the reader's error, empty when the document parsed.
inline QString forEachElement(const QByteArray& svg,
                              const std::function<void(QXmlStreamReader&, const std::vector<QString>&)>& each)
{
    QXmlStreamReader r(svg);
    std::vector<QString> layers;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isEndElement() && r.name() == u"g")
            layers.pop_back();
        if (!r.isStartElement())
            continue;
        if (r.name() == u"g")
            layers.push_back(r.attributes().value(QLatin1String("id")).toString());
        each(r, layers);
    }
    return r.hasError() ? r.errorString() + QStringLiteral(" at line %1").arg(r.lineNumber()) : QString();
}
