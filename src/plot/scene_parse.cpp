// Reading the attribute values of a scene for the painter, with a small
// scanner over SVG's number and list syntax.
#include "plot/scene_parse.h"

#include <QLatin1String>

#include <cmath>
#include <vector>

namespace sceneparse {

namespace {

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Scans SVG numbers, commas and spaces over a UTF-16 text.
struct Scanner {
    const QChar* p;
    const QChar* end;

    void skipSeparators()
    {
        while (p != end && (isSpace(*p) || *p == u','))
            ++p;
    }
    void skipSpaces()
    {
        while (p != end && isSpace(*p))
            ++p;
    }
    bool atEnd() const { return p == end; }
    bool atNumber() const
    {
        return p != end && ((*p >= u'0' && *p <= u'9') || *p == u'.' || *p == u'-' || *p == u'+');
    }
    // [sign] digits [. digits] [e [sign] digits], as SVG writes numbers.
    bool number(double* value)
    {
        const QChar* start = p;
        if (p != end && (*p == u'-' || *p == u'+'))
            ++p;
        int digits = 0;
        while (p != end && *p >= u'0' && *p <= u'9')
            ++p, ++digits;
        if (p != end && *p == u'.') {
            ++p;
            while (p != end && *p >= u'0' && *p <= u'9')
                ++p, ++digits;
        }
        if (digits == 0) {
            p = start;
            return false;
        }
        if (p != end && (*p == u'e' || *p == u'E')) {
            const QChar* mark = p++;
            if (p != end && (*p == u'-' || *p == u'+'))
                ++p;
            int exponent = 0;
            while (p != end && *p >= u'0' && *p <= u'9')
                ++p, ++exponent;
            if (exponent == 0)
                p = mark;
        }
        bool ok = false;
        *value = QStringView(start, p).toDouble(&ok);
        return ok && std::isfinite(*value);
    }
};

Scanner scan(const QString& text)
{
    return Scanner{text.constData(), text.constData() + text.size()};
}

} // namespace

bool number(const QString& text, double* value)
{
    Scanner s = scan(text);
    s.skipSpaces();
    if (!s.number(value))
        return false;
    s.skipSpaces();
    return s.atEnd();
}

bool fraction(const QString& text, double* value)
{
    QString t = text.trimmed();
    const bool percent = t.endsWith(u'%');
    if (percent)
        t.chop(1);
    if (!number(t, value))
        return false;
    if (percent)
        *value /= 100;
    return true;
}

bool colour(const QString& text, QColor* value)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("none") || t.startsWith(QLatin1String("url(")))
        return false;
    *value = QColor::fromString(t);
    return value->isValid();
}

bool pathData(const QString& d, QPainterPath* path)
{
    Scanner s = scan(d);
    QChar command;
    QPointF at, start;
    s.skipSpaces();
    while (!s.atEnd()) {
        if (!s.atNumber()) {
            command = *s.p++;
            s.skipSpaces();
            if (command == u'Z' || command == u'z') {
                path->closeSubpath();
                at = start;
                s.skipSeparators();
                continue;
            }
        } else if (command.isNull() || command == u'Z' || command == u'z') {
            return false; // numbers before any command or after Z
        }
        const bool relative = command.isLower();
        double a = 0, b = 0;
        switch (command.toUpper().unicode()) {
        case u'M':
        case u'L':
            if (!s.number(&a))
                return false;
            s.skipSeparators();
            if (!s.number(&b))
                return false;
            if (relative)
                a += at.x(), b += at.y();
            at = QPointF(a, b);
            if (command.toUpper() == u'M') {
                path->moveTo(at);
                start = at;
                // Further pairs after a moveto are lineto commands.
                command = relative ? QChar(u'l') : QChar(u'L');
            } else {
                path->lineTo(at);
            }
            break;
        case u'H':
            if (!s.number(&a))
                return false;
            at.setX(relative ? at.x() + a : a);
            path->lineTo(at);
            break;
        case u'V':
            if (!s.number(&a))
                return false;
            at.setY(relative ? at.y() + a : a);
            path->lineTo(at);
            break;
        default:
            return false;
        }
        s.skipSeparators();
    }
    return true;
}

bool pathData(const char* d, size_t size, QPainterPath* path)
{
    return pathData(QString::fromLatin1(d, static_cast<qsizetype>(size)), path);
}

bool transform(const QString& text, QTransform* value)
{
    QTransform t;
    Scanner s = scan(text);
    s.skipSeparators();
    while (!s.atEnd()) {
        const QChar* nameStart = s.p;
        while (!s.atEnd() && s.p->isLetter())
            ++s.p;
        const QString name = QStringView(nameStart, s.p).toString();
        s.skipSpaces();
        if (s.atEnd() || *s.p != u'(')
            return false;
        ++s.p;
        std::vector<double> args;
        s.skipSeparators();
        double v = 0;
        while (s.number(&v)) {
            args.push_back(v);
            s.skipSeparators();
        }
        if (s.atEnd() || *s.p != u')')
            return false;
        ++s.p;
        if (name == QLatin1String("rotate") && (args.size() == 1 || args.size() == 3)) {
            const double cx = args.size() == 3 ? args[1] : 0, cy = args.size() == 3 ? args[2] : 0;
            t.translate(cx, cy);
            t.rotate(args[0]);
            t.translate(-cx, -cy);
        } else if (name == QLatin1String("translate") && (args.size() == 1 || args.size() == 2)) {
            t.translate(args[0], args.size() == 2 ? args[1] : 0);
        } else if (name == QLatin1String("scale") && (args.size() == 1 || args.size() == 2)) {
            t.scale(args[0], args.size() == 2 ? args[1] : args[0]);
        } else {
            return false;
        }
        s.skipSeparators();
    }
    *value = t;
    return true;
}

bool dashArray(const QString& text, QVector<qreal>* value)
{
    value->clear();
    if (text.trimmed() == QLatin1String("none"))
        return true;
    Scanner s = scan(text);
    s.skipSeparators();
    double v = 0, sum = 0;
    while (s.number(&v)) {
        if (v < 0)
            return false;
        value->push_back(v);
        sum += v;
        s.skipSeparators();
    }
    if (!s.atEnd() || value->isEmpty() || sum <= 0)
        return false;
    if (value->size() % 2 == 1)
        *value += QVector<qreal>(*value);
    return true;
}

QStringList fontFamilies(const QString& text)
{
    QStringList out;
    for (QString name : text.split(u',')) {
        name = name.trimmed();
        if (name.size() >= 2 && (name.front() == u'\'' || name.front() == u'"') && name.back() == name.front())
            name = name.mid(1, name.size() - 2);
        if (!name.isEmpty())
            out << name;
    }
    return out;
}

} // namespace sceneparse
