// The -plot figure as SVG: the document around the two panels, and writing
// it to a device or a file.
#include "plot/plot_svg.h"

#include "plot/plot_canvas.h"

#include <QFile>
#include <QIODevice>

namespace {

const char* const kInkscape = "http://www.inkscape.org/namespaces/inkscape";

void drawDocument(SvgCanvas& c, const PlotModel& model, const PlotSettings& settings, PlotDrawStats& stats)
{
    PlotFrame f(settings);
    {
        // The legend drawn once aside, to measure it: where it would run off
        // the canvas's foot, the QQ square above it gives way.
        Scene scratch;
        SvgCanvas dry(scratch);
        if (!f.fitLegend(drawLegend(dry, model, settings, f))) {
            // Too short a QQ column: the legend goes across the foot.
            f.placeLegendBelow();
            Scene across;
            SvgCanvas wide(across);
            f.fitBelow(drawLegend(wide, model, settings, f));
        }
    }
    c.start("svg");
    c.attr("version", "1.1");
    c.attr("width", QString::number(f.canvasWidth));
    c.attr("height", QString::number(f.height));
    c.attr("viewBox", QStringLiteral("0 0 %1 %2").arg(f.canvasWidth).arg(f.height));
    c.attr("font-family", plotstyle::kFont);
    c.start("title");
    c.chars(settings.title);
    c.end();
    c.start("desc");
    c.chars(QStringLiteral("Manhattan plot and QQ plot of %1 written by Quorlin").arg(settings.title));
    c.end();
    c.start("rect");
    c.attr("width", QString::number(f.canvasWidth));
    c.attr("height", QString::number(f.height));
    c.attr("fill", "#ffffff");
    c.end();
    drawManhattanPanel(c, model, settings, f, stats);
    drawQqPanel(c, model, f, stats);
    drawLegend(c, model, settings, f);
    c.end(); // svg
}

} // namespace

Scene manhattanQqScene(const PlotModel& model, const PlotSettings& settings, PlotDrawStats* stats)
{
    PlotDrawStats local;
    Scene scene;
    scene.namespaces.push_back({QString(), QStringLiteral("http://www.w3.org/2000/svg")});
    scene.namespaces.push_back({QStringLiteral("inkscape"), QLatin1String(kInkscape)});
    SvgCanvas canvas(scene);
    drawDocument(canvas, model, settings, stats ? *stats : local);
    return scene;
}

bool writeManhattanQqSvg(const PlotModel& model, const PlotSettings& settings, QIODevice& out, PlotDrawStats* stats)
{
    return writeSceneSvg(manhattanQqScene(model, settings, stats), out);
}

bool writeManhattanQqSvg(const PlotModel& model, const PlotSettings& settings, QIODevice& out)
{
    return writeManhattanQqSvg(model, settings, out, nullptr);
}

bool writeManhattanQqSvg(const PlotModel& model, const PlotSettings& settings, const QString& path, QString* error)
{
    // A plain file, like the report: QSaveFile would make the run wait for
    // the disk (it syncs before renaming). A failed write leaves no file.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = QStringLiteral("cannot create plot file '%1': %2").arg(path, file.errorString());
        return false;
    }
    const bool written = writeManhattanQqSvg(model, settings, file, nullptr) && file.flush();
    const QString reason = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        file.remove();
        if (error)
            *error = QStringLiteral("plot file '%1' could not be written: %2").arg(path, reason);
        return false;
    }
    return true;
}
