// Figure files from the figure's scene (figure_scene.h): SVG text from the
// scene's writer, PNG and PDF painted by Qt's QPainter from the scene itself
// (scene_painter.h) onto an image at twice the pixel density or a PDF page,
// inside the process; no other program runs, and no back end reads
// another's output.
//
// Fonts: the figures ask for 'DejaVu Sans' (Debian's default font, package
// fonts-dejavu-core), then Verdana, then any sans-serif. Qt resolves the
// family through fontconfig; where DejaVu Sans is missing it takes the
// system's sans-serif, so the text is the same and only the glyph shapes
// differ.
#pragma once
#include <QByteArray>
#include <QSize>
#include <QString>

#include "base/thread_pool.h"

#include <memory>

class QCoreApplication;
struct Scene;

enum class FigureFormat { Svg, Png, Pdf };

// The format a figure path asks for by its extension (.svg, .png, .pdf, in
// any letter case); false for any other path.
bool figureFormatOfPath(const QString& path, FigureFormat* format);
// "svg", "png" or "pdf" (also the -regional-format words); false otherwise.
bool figureFormatOfWord(const QString& word, FigureFormat* format);
// "svg", "png", "pdf".
const char* figureExtension(FigureFormat format);

// The figure in the given format. A PNG has twice as many pixels each way
// as the scene's size in px (its root's width and height), a PDF is one
// page of that size at 96 px per inch. Empty, with error set, when the
// scene declares no size or when PNG or PDF is asked for without a
// QGuiApplication (see makeFigureApplication). Throws MemoryShortage
// (address_space.h) when the address space for a PNG's image is not there.
QByteArray renderFigure(const Scene& scene, FigureFormat format, QString* error = nullptr);

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
