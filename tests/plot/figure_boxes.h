// The boxes of a drawn genome-wide figure for the fit checks: every text
// (rotated ones too) measured with the figure's font widths, every QQ point
// and every Manhattan dot cell as drawn; and the check that each text lies
// inside the canvas, clear of the other texts and of the data.
#pragma once
#include "svg_elements.h"
#include "plot/plot_canvas.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

struct FitBox {
    double x0, y0, x1, y1;
    QString text, layer, cls;
    bool meets(const FitBox& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

struct FigureBoxes {
    std::vector<FitBox> texts;
    std::vector<FitBox> qqDots;        // each QQ point or run of points
    std::vector<FitBox> manhattanDots; // each Manhattan dot cell or run of cells
    double axisLeft = 1e9, axisRight = -1e9; // the Manhattan x axis
    std::vector<double> qqDiagonal;          // x1, y1, x2, y2 of the QQ panel's expected line
};

// The dots of a dot path: "Mx yv.1" or "Mx yVy2" commands, each a dot or a
// vertical stroke of dots reaching kDotWidth / 2 around its pixels.
inline void addDots(const QString& d, const QString& layer, std::vector<FitBox>& out)
{
    static const QRegularExpression command(QStringLiteral("M(-?\\d+) (-?\\d+)(?:v\\.1|V(-?\\d+))"));
    const double reach = plotstyle::kDotWidth / 2;
    for (const auto& m : command.globalMatch(d)) {
        const double x = m.captured(1).toDouble(), y = m.captured(2).toDouble();
        const double end = m.captured(3).isEmpty() ? y : m.captured(3).toDouble();
        out.push_back({x - reach, y - reach, x + reach, end + reach, QString(), layer, QString()});
    }
}

// A text's box: ascent 0.8 and descent 0.25 of the font size, bold text a
// tenth wider; a rotate(a x y) transform turns the box's corners about
// (x, y) and the box is their bounding box. Halos repeat their label's text
// under it and are left out.
inline FigureBoxes readFigureBoxes(const QByteArray& svg)
{
    FigureBoxes out;
    const QString error = forEachElement(svg, [&](QXmlStreamReader& r, const std::vector<QString>& layers) {
        const QXmlStreamAttributes a = r.attributes();
        const QString layer = layers.empty() ? QString() : layers.back();
        const QStringView cls = a.value(QLatin1String("class"));
        if (r.name() == u"path" && (cls == u"qq-points" || cls == u"markers")) {
            addDots(a.value(QLatin1String("d")).toString(), layer, cls == u"markers" ? out.manhattanDots : out.qqDots);
            return;
        }
        if (r.name() == u"line" && layer == u"manhattan-axes" &&
            a.value(QLatin1String("y1")) == a.value(QLatin1String("y2"))) {
            const double x1 = a.value(QLatin1String("x1")).toDouble(), x2 = a.value(QLatin1String("x2")).toDouble();
            if (x2 - x1 > out.axisRight - out.axisLeft) {
                out.axisLeft = x1;
                out.axisRight = x2;
            }
        }
        if (r.name() == u"line" && layer == u"qq" && a.value(QLatin1String("stroke")) == QLatin1String(plotstyle::kGenomeWideColour))
            for (const char* name : {"x1", "y1", "x2", "y2"})
                out.qqDiagonal.push_back(a.value(QLatin1String(name)).toDouble());
        if (r.name() != u"text" || cls == u"halo")
            return;
        const double x = a.value(QLatin1String("x")).toDouble(), y = a.value(QLatin1String("y")).toDouble();
        const double size = a.value(QLatin1String("font-size")).toDouble();
        const bool bold = a.value(QLatin1String("font-weight")) == u"bold";
        const QStringView anchor = a.value(QLatin1String("text-anchor"));
        const QString transform = a.value(QLatin1String("transform")).toString();
        // The characters of the element and its tspans, each at its own size.
        QString text;
        double w = 0;
        std::vector<double> sizes = {size};
        while (!r.atEnd() && !sizes.empty()) {
            r.readNext();
            if (r.isStartElement())
                sizes.push_back(r.attributes().hasAttribute(QLatin1String("font-size"))
                                    ? r.attributes().value(QLatin1String("font-size")).toDouble()
                                    : sizes.back());
            else if (r.isEndElement())
                sizes.pop_back();
            else if (r.isCharacters()) {
                text += r.text();
                w += textWidth(r.text().toString(), sizes.back()) * (bold ? 1.1 : 1);
            }
        }
        const double x0 = anchor == u"middle" ? x - w / 2 : anchor == u"end" ? x - w : x;
        FitBox b{x0, y - 0.8 * size, x0 + w, y + 0.25 * size, text, layer, cls.toString()};
        static const QRegularExpression rotate(QStringLiteral("^rotate\\((-?[\\d.]+) (-?[\\d.]+) (-?[\\d.]+)\\)$"));
        const QRegularExpressionMatch m = rotate.match(transform);
        EXPECT_TRUE(transform.isEmpty() || m.hasMatch()) << transform.toStdString();
        if (m.hasMatch()) {
            const double angle = m.captured(1).toDouble() * M_PI / 180, cx = m.captured(2).toDouble(),
                         cy = m.captured(3).toDouble();
            const double c = std::cos(angle), s = std::sin(angle);
            FitBox turned{1e9, 1e9, -1e9, -1e9, text, layer, b.cls};
            for (const double px : {b.x0, b.x1})
                for (const double py : {b.y0, b.y1}) {
                    const double tx = cx + (px - cx) * c - (py - cy) * s, ty = cy + (px - cx) * s + (py - cy) * c;
                    turned = {std::min(turned.x0, tx), std::min(turned.y0, ty), std::max(turned.x1, tx),
                              std::max(turned.y1, ty), text, layer, b.cls};
                }
            b = turned;
        }
        out.texts.push_back(b);
    });
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return out;
}

// Every text inside the w x h canvas, meeting no other text, no QQ point,
// the QQ panel's expected line or a Manhattan dot cell; every chromosome name under the Manhattan x axis
// (a chromosome gap, 4 px, past its ends at most). Returns the number of
// texts checked.
inline size_t expectFigureFits(const QByteArray& svg, int w, int h, const std::string& what)
{
    const FigureBoxes f = readFigureBoxes(svg);
    EXPECT_FALSE(f.qqDots.empty()) << what;
    EXPECT_EQ(f.qqDiagonal.size(), 4u) << what;
    const std::string where = what + " " + std::to_string(w) + "x" + std::to_string(h) + ": ";
    for (size_t i = 0; i < f.texts.size(); ++i) {
        const FitBox& t = f.texts[i];
        EXPECT_TRUE(t.x0 >= -0.5 && t.x1 <= w + 0.5 && t.y0 >= -0.5 && t.y1 <= h + 0.5)
            << where << t.text.toStdString() << " at " << t.x0 << "," << t.y0 << " to " << t.x1 << "," << t.y1;
        if (t.cls == u"chrom-label") {
            EXPECT_TRUE(t.x0 >= f.axisLeft - 4.5 && t.x1 <= f.axisRight + 4.5)
                << where << "chromosome " << t.text.toStdString() << " from " << t.x0 << " to " << t.x1
                << " leaves the axis from " << f.axisLeft << " to " << f.axisRight;
        }
        for (size_t j = i + 1; j < f.texts.size(); ++j)
            EXPECT_FALSE(t.meets(f.texts[j])) << where << t.text.toStdString() << " meets "
                                              << f.texts[j].text.toStdString();
        if (f.qqDiagonal.size() == 4) {
            const double dx = f.qqDiagonal[2] - f.qqDiagonal[0], dy = f.qqDiagonal[3] - f.qqDiagonal[1];
            const int steps = static_cast<int>(std::hypot(dx, dy)) + 1;
            for (int k = 0; k <= steps; ++k) {
                const double x = f.qqDiagonal[0] + dx * k / steps, y = f.qqDiagonal[1] + dy * k / steps;
                if (x > t.x0 && x < t.x1 && y > t.y0 && y < t.y1) {
                    ADD_FAILURE() << where << t.text.toStdString() << " crosses the QQ expected line at " << x << ","
                                  << y;
                    break;
                }
            }
        }
        for (const std::vector<FitBox>* dots : {&f.qqDots, &f.manhattanDots}) {
            const auto hit = std::find_if(dots->begin(), dots->end(), [&](const FitBox& d) { return t.meets(d); });
            if (hit != dots->end())
                ADD_FAILURE() << where << t.text.toStdString() << " (" << t.layer.toStdString() << ") covers a "
                              << (dots == &f.qqDots ? "QQ point" : "Manhattan dot") << " at " << hit->x0 << ","
                              << hit->y0;
        }
    }
    return f.texts.size();
}
