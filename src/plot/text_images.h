// The text of a raster figure, painted once before the bands: each text
// step filled with one solid colour, and each label halo, becomes an image
// at the figure's device pixels, which every band that shows it draws. A
// band then draws its text as images instead of rasterizing glyph outlines,
// a label that crosses the seam is rasterized once, and the text of the
// whole figure is shared out over the threads step by step, whichever band
// it falls in, while the scene's steps are still being read.
#pragma once
#include "plot/scene_painter.h"

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QTransform>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

class ThreadPool;

// One step's image (Format_ARGB32_Premultiplied) and the device pixel of
// its top-left corner in the whole figure. Steps not taken (not text, or
// painted otherwise than in one colour) are painted as they are; a taken
// step with a null image shows nothing.
struct StepImage {
    bool taken = false;
    QImage image;
    QPoint at;
};

// Paints the text steps handed to it into their images on the pool's
// workers while the caller goes on (reading the rest of the scene, say),
// and on the caller too once it asks for them. Each step handed over is
// copied, painter path and all, so the workers share nothing with the
// caller's steps.
class TextPainter {
public:
    // pixels: the whole figure's size on the device. Starts a round of the
    // pool, which is the painter's until finish() returns.
    TextPainter(QSize pixels, ThreadPool& pool);
    ~TextPainter();
    TextPainter(const TextPainter&) = delete;
    TextPainter& operator=(const TextPainter&) = delete;

    // Step `index` of a drawing whose root has viewBox; steps other than
    // plain text and halos are left out.
    void add(size_t index, const SceneStep& step, const QRectF& viewBox);
    // The images, one per step of a drawing of `steps` steps (null for
    // those not added or left out), once every one is painted.
    std::vector<StepImage> finish(size_t steps);

private:
    struct Job {
        size_t index;
        SceneStep step;
        QTransform device;
    };
    void work();

    QSize pixels_;
    ThreadPool& pool_;
    bool started_ = false;
    std::mutex mutex_;
    std::condition_variable added_;
    std::deque<Job> jobs_;
    bool closed_ = false;
    std::vector<std::pair<size_t, StepImage>> done_;
};

// The images of drawing's text steps, one per step (null for the others),
// at `pixels` for the whole figure, made on the pool's threads and the
// caller's.
std::vector<StepImage> textImages(const SceneDrawing& drawing, QSize pixels, ThreadPool& pool);
