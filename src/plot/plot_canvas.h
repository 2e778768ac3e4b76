// Drawing shared by the plot panels: SvgCanvas builds the figure's scene
// (figure_scene.h) element by element, with the figure's number format,
// colours, text helpers and the geometry of the two panels. Internal to the
// plot library.
#pragma once
#include "plot/figure_scene.h"
#include "plot/plot_svg.h"

#include <QString>

namespace plotstyle {
// DejaVu Sans is Debian's default font, so a browser and the PNG and PDF
// renderer draw the same glyphs; Verdana (its close relative) and any
// sans-serif stand in where it is missing.
inline constexpr char kFont[] = "'DejaVu Sans', Verdana, sans-serif";
// Dark and light blue: apart in grey too, away from the warm peak bands.
inline constexpr char kChromosomeColours[2][8] = {"#1f4e79", "#6b9bd1"};
inline constexpr char kQqColour[] = "#1f4e79";
inline constexpr char kGenomeWideColour[] = "#b2182b";
inline constexpr char kThresholdColour[] = "#4d4d4d";
inline constexpr char kAxisColour[] = "#333333";
inline constexpr char kGridColour[] = "#e8e8e8";
inline constexpr char kMutedText[] = "#555555";
// Open triangles over the leads of loci without a peak shape: a cool violet,
// apart from the warm bands and the blue markers.
inline constexpr char kNoPeakColour[] = "#7b3294";
// Beyond kManyLoci loci, the no_peak triangles are smaller and in this
// lighter violet, so that dozens of them do not outweigh the peaks.
inline constexpr char kNoPeakLightColour[] = "#b58cc7";
constexpr size_t kManyLoci = 30;
inline constexpr char kLeadColour[] = "#1a1a1a";
inline constexpr char kTitleText[] = "#111111";
inline constexpr char kGenomeWideDash[] = "7 4";
inline constexpr char kThresholdDash[] = "3 3";
inline constexpr char kBandOpacity[] = "0.35";
// Share of the GQS colour in a Manhattan band's tint (the rest white), the
// look of kBandOpacity over the white ground.
constexpr double kBandShare = 0.35;
inline constexpr char kLegendOpacity[] = "0.6";
constexpr double kDotWidth = 3.0;
// -log10 of genome-wide significance, p = 5e-8.
double genomeWide();
} // namespace plotstyle

// A coordinate or size as text: rounded to 0.1, no trailing ".0", no "-0".
QString svgNumber(double v);
// Width of text in px in the figure's font.
double textWidth(const QString& text, double fontSize);

// Where the panels go for one PlotSettings, in px: the Manhattan panel on
// the left, the square QQ panel on the right with the legend under it, or,
// where the QQ column is too short for the legend, the legend across the
// foot of the canvas under both panels.
struct PlotFrame {
    int width, height;         // the canvas
    double left, top, w, h;    // the Manhattan plot area
    double qLeft, qTop, qSize; // the QQ plot area (square)
    double legendLeft, legendTop;
    int canvasWidth;
    bool legendBelow = false;
    static constexpr double kMinQqSize = 120;

    explicit PlotFrame(const PlotSettings& s);
    double bottom() const { return top + h; }
    // Shrinks the QQ square (to 120 px at least, its top left corner kept)
    // and lifts the legend under it by as much, so that a legend ending at
    // legendBottom ends inside the canvas. False, with nothing changed, when
    // the square would have to shrink below 120 px for that.
    bool fitLegend(double legendBottom);
    // Moves the legend under both panels, across the canvas (its bottom not
    // yet known: see fitBelow).
    void placeLegendBelow();
    // With the legend under both panels ending at legendBottom, lifts it so
    // that it ends inside the canvas, and shortens the Manhattan panel and
    // the QQ square so that their axis texts stay above it.
    void fitBelow(double legendBottom);
};

// Builds a scene in SVG's terms: start opens an element under the open one,
// attr sets an attribute of the element opened last, end closes it.
class SvgCanvas {
public:
    explicit SvgCanvas(Scene& scene);

    void start(const char* name);
    void end();
    void attr(const char* name, const QString& value);
    void attr(const char* name, const char* value) { attr(name, QString::fromLatin1(value)); }
    void attr(const char* name, double value) { attr(name, svgNumber(value)); }
    // Text content; characters XML 1.0 cannot hold (control characters from
    // a table's names) become U+FFFD, so the file always parses.
    void chars(QString text);
    // Text with tspans must not get indentation between its parts, which
    // would show as spaces: no auto-formatting inside.
    void startMixed(const char* name);
    void endMixed() { end(); }
    // A group that Inkscape shows as a layer.
    void layer(const char* id, const char* label);

    void line(double x1, double y1, double x2, double y2, const char* colour, double width,
              const char* dash = nullptr);
    void text(double x, double y, const QString& t, double size, const char* anchor = "start",
              const char* colour = nullptr, bool bold = false);
    // prefix + "−log10(p)" with a subscript 10, optionally rotated about (x, y).
    void log10Text(double x, double y, const QString& prefix, double size, const char* anchor, double rotate = 0);
    // Dots and vertical strokes of dots (PixelSet::appendPath commands): a
    // group of class cssClass + "-group" with the title and the style, and
    // in it paths of class cssClass, a few dozen commands each.
    void dotPath(const char* cssClass, const char* colour, const std::string& d, const QString& title = QString());

private:
    SceneNode& top() { return *open_.back(); }

    Scene& scene_;
    // The open elements, the root first. Only the last one gains children
    // while it is open, so the pointers to its ancestors stay valid.
    std::vector<SceneNode*> open_;
};

// The panels, drawn into the open svg element.
void drawManhattanPanel(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f,
                        PlotDrawStats& stats);
void drawQqPanel(SvgCanvas& c, const PlotModel& m, const PlotFrame& f, PlotDrawStats& stats);
// Returns the y below the legend's last line (its descenders included).
double drawLegend(SvgCanvas& c, const PlotModel& m, const PlotSettings& s, const PlotFrame& f);
