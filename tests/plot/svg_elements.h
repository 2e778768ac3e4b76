// The elements of a figure with a class attribute, in document order, for
// the structure checks of the plot tests.
#pragma once
#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

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
