// A PNG encoder for the figures: 8-bit RGB, every row filtered with "Up"
// and deflated at the fastest level (ISA-L's where the build has it, else
// zlib's). A drawn figure is mostly flat colour, where this is several
// times quicker than a general encoder's per-row search for the best
// filter and nearly as small.
#pragma once
#include <QByteArray>
#include <QImage>

// The image (any format; drawn as opaque RGB) as a PNG file, with its dots
// per metre; empty when zlib fails.
QByteArray encodePng(const QImage& image);
