// Figure files from the scene: its SVG text, or PNG and PDF painted from it.
#include "plot/figure_render.h"

#include "plot/address_space.h"
#include "plot/figure_raster.h"
#include "plot/figure_scene.h"
#include "plot/scene_painter.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cstdio>
#include <string>
#include <system_error>

namespace {

// Qt warns on standard error when XDG_RUNTIME_DIR is unset, which is normal
// for batch jobs; the message says nothing about the run.
void quietStartup(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

bool formatOf(QString word, FigureFormat* format)
{
    word = word.toLower();
    static constexpr FigureFormat kAll[] = {FigureFormat::Svg, FigureFormat::Png, FigureFormat::Pdf};
    for (FigureFormat f : kAll)
        if (word == QLatin1String(figureExtension(f))) {
            *format = f;
            return true;
        }
    return false;
}

// Besides the image itself, what painting and packing a PNG take at most:
// Qt's span and glyph buffers, the dot stamps, the packed parts.
constexpr size_t kPaintRoom = size_t(24) << 20;

QByteArray png(const Scene& scene, QSize size, QString* error)
{
    // Qt's painter crashes where an allocation inside it is refused (an
    // address-space limit), so the room is asked for first.
    const size_t imageBytes = size_t(size.width()) * 2 * size_t(size.height()) * 2 * 4;
    if (!addressSpaceAvailable(imageBytes + kPaintRoom))
        throw MemoryShortage("not enough memory to paint the PNG figure (it needs about " +
                             std::to_string((imageBytes + kPaintRoom) >> 20) + " MB of address space)");
    // 192 dpi: twice the 96 px per inch of the SVG.
    QByteArray out = pngOfScene(scene, size * 2, 7559, error);
    if (out.isEmpty() && error && error->isEmpty())
        *error = QStringLiteral("the PNG image could not be encoded");
    return out;
}

QByteArray pdf(const SceneDrawing& drawing, QSize size, QString* error)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(96);
        writer.setCreator(QStringLiteral("Quorlin"));
        // 96 px per inch: a px is 0.75 pt.
        writer.setPageLayout(QPageLayout(QPageSize(QSizeF(size) * 0.75, QPageSize::Point), QPageLayout::Portrait,
                                         QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        if (!painter.begin(&writer)) {
            if (error)
                *error = QStringLiteral("the PDF page could not be started");
            return {};
        }
        painter.setRenderHint(QPainter::Antialiasing);
        // The viewBox onto the page's px.
        const QRectF& vb = drawing.viewBox;
        painter.scale(size.width() / vb.width(), size.height() / vb.height());
        painter.translate(-vb.x(), -vb.y());
        paintSceneVector(painter, drawing);
        painter.end();
    }
    return out;
}

} // namespace

const char* figureExtension(FigureFormat format)
{
    switch (format) {
    case FigureFormat::Png:
        return "png";
    case FigureFormat::Pdf:
        return "pdf";
    case FigureFormat::Svg:
        break;
    }
    return "svg";
}

bool figureFormatOfWord(const QString& word, FigureFormat* format)
{
    return formatOf(word, format);
}

bool figureFormatOfPath(const QString& path, FigureFormat* format)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || path.indexOf(QLatin1Char('/'), dot) >= 0)
        return false;
    return formatOf(path.mid(dot + 1), format);
}

QByteArray renderFigure(const Scene& scene, FigureFormat format, QString* error)
{
    if (format == FigureFormat::Svg)
        return sceneSvg(scene);
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (error)
            *error = QStringLiteral("PNG and PDF figures need the program's QGuiApplication");
        return {};
    }
    const QSize size = sceneSize(scene);
    if (size.width() < 1 || size.height() < 1) {
        if (error)
            *error = QStringLiteral("figure size %1 x %2 px is empty").arg(size.width()).arg(size.height());
        return {};
    }
    // The text is laid out here, on the calling thread.
    if (format == FigureFormat::Png)
        return png(scene, size, error);
    const SceneDrawing drawing = drawScene(scene);
    if (drawing.viewBox.isEmpty()) {
        if (error)
            *error = QStringLiteral("the figure has no drawing area");
        return {};
    }
    return pdf(drawing, size, error);
}

bool parseFigureSize(const QString& text, QSize* size)
{
    const QStringList parts = text.toLower().split(QLatin1Char('x'));
    if (parts.size() != 2)
        return false;
    bool okW = false, okH = false;
    const int w = parts[0].toInt(&okW), h = parts[1].toInt(&okH);
    if (!okW || !okH || w < kMinFigureSize.width() || h < kMinFigureSize.height() || w > kMaxFigureSide ||
        h > kMaxFigureSide)
        return false;
    *size = QSize(w, h);
    return true;
}

std::unique_ptr<QCoreApplication> makeFigureApplication(int& argc, char** argv, bool rendersFigures)
{
    if (!rendersFigures)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QtMessageHandler previous = qInstallMessageHandler(quietStartup);
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    qInstallMessageHandler(previous);
    return app;
}

namespace {
// What loading the fonts takes, with room to spare: fontconfig's settings
// and caches and the first font need about 2 MB of address space, laying
// out and painting a figure's text about 2 MB more.
constexpr size_t kFontRoom = size_t(16) << 20;

void loadFonts()
{
    // The font database is shared by all threads and safe to use from any;
    // filling it reads fontconfig's files.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    try {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12);
        QFontMetricsF(font).horizontalAdvance(QStringLiteral("0"));
    } catch (...) {
        // Out of memory: the first figure loads the fonts again and meets
        // the shortage where it can report it.
    }
}
} // namespace

FontWarmUp::FontWarmUp()
{
    // fontconfig does not survive an allocation refused while it loads, so
    // the room is asked for first.
    if (!addressSpaceAvailable(kFontRoom))
        throw MemoryShortage("not enough memory to load the fonts of the figures (they need " +
                             std::to_string(kFontRoom >> 20) + " MB of address space)");
    if (pool_.workers() > 0)
        pool_.start([](int) { loadFonts(); }); // the pool's destructor waits for it
    else
        loadFonts();
}
