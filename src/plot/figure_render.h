// PNG and PDF figures drawn by Qt from the SVG text: QtSvg's renderer paints
// the same document onto an image (at twice the pixel density) or a PDF
// page, inside the process; no other program runs.
//
// Fonts: the SVG asks for 'DejaVu Sans' (Debian's default font, package
// fonts-dejavu-core), then Verdana, then any sans-serif. Qt resolves the
// family through fontconfig; where DejaVu Sans is missing it takes the
// system's sans-serif, so the text is the same and only the glyph shapes
// differ.
#pragma once
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "base/thread_pool.h"

#include <memory>

class QCoreApplication;

enum class FigureFormat { Svg, Png, Pdf };

// The format a figure path asks for by its extension (.svg, .png, .pdf, in
// any letter case); false for any other path.
bool figureFormatOfPath(const QString& path, FigureFormat* format);
// "svg", "png" or "pdf" (also the -regional-format words); false otherwise.
bool figureFormatOfWord(const QString& word, FigureFormat* format);
// "svg", "png", "pdf".
const char* figureExtension(FigureFormat format);

// The figure in the given format. size is the SVG's size in px: a PNG gets
// twice as many pixels each way, a PDF one page of that size at 96 px per
// inch. Svg returns svg itself. Empty, with error set, when the SVG does not
// parse or when PNG or PDF is asked for without a QGuiApplication (see
// makeFigureApplication).
QByteArray renderFigure(const QByteArray& svg, FigureFormat format, QSize size, QString* error = nullptr);

// The figure as pixels (pixels is the image's size, an exact multiple of
// the SVG's): Layered paints the dot groups of Manhattan markers and QQ
// points from stamps (figure_layers.h, dot_raster.h) and the rest with
// QtSvg, QtSvgOnly paints all with QtSvg; both need the QGuiApplication.
// Layered falls back to QtSvgOnly for a document it cannot split. A null
// image, with error set, when the SVG does not parse or the image is too
// large.
enum class RasterMethod { Layered, QtSvgOnly };
QImage rasterFigure(const QByteArray& svg, QSize pixels, RasterMethod method, QString* error = nullptr);
// The PNG file of the figure painted Layered at pixels, each band packed
// by the thread that painted it; empty, with error set, on failure.
QByteArray pngFigure(const QByteArray& svg, QSize pixels, int dotsPerMetre, QString* error = nullptr);

// The figure size of "WxH" in px (such as 1600x900): at least 800 x 450,
// at most 8000 each way; false for anything else.
inline constexpr QSize kMinFigureSize(800, 450);
inline constexpr int kMaxFigureSide = 8000;
bool parseFigureSize(const QString& text, QSize* size);

// The application object for main: a QGuiApplication on Qt's "offscreen"
// platform (unless QT_QPA_PLATFORM names another) when figures are to be
// rendered, which Qt's fonts need, else a QCoreApplication. argc and argv
// must outlive it.
std::unique_ptr<QCoreApplication> makeFigureApplication(int& argc, char** argv, bool rendersFigures);

// Loads the system's font configuration on a worker while the caller does
// other work, so the first PNG or PDF figure does not wait for it; the
// destructor waits for the worker. Without a worker the fonts load here
// and now. Does nothing without the QGuiApplication. Throws MemoryShortage
// (address_space.h) when less address space is left than loading the fonts
// takes: fontconfig crashes where an allocation is refused. The check is a
// snapshot taken on the caller's thread.
class FontWarmUp {
public:
    FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

private:
    ThreadPool pool_{1};
};
