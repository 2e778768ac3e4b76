// A PNG encoder for the figures: 8-bit RGB, every row filtered with "Up"
// (the first of a part with "Sub") and deflated at the fastest level (ISA-L's where the build has it, else
// zlib's). A drawn figure is mostly flat colour, where this is several
// times quicker than a general encoder's per-row search for the best
// filter and nearly as small.
#pragma once
#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Rows [first, last) of an image of Format_RGB32 as one part of the
// image's deflate stream, packed apart from the others (on another thread,
// say): the part's first row, unless it is the image's, is filtered "Sub"
// so that no part reads another's rows. final: the part ends the image.
struct PngPart {
    std::unique_ptr<unsigned char[]> packed;
    size_t packedSize = 0; // 0 when deflating failed
    uint32_t crc = 0;      // CRC-32 of the packed bytes
    uint32_t adler = 1;    // of the part's filtered rows
    size_t rawSize = 0;
};
PngPart packPngRows(const QImage& image, int first, int last, bool final);
// The PNG file of image from all its parts in order (empty when a part is).
QByteArray assemblePng(const QImage& image, const std::vector<PngPart>& parts);

// The image (any format; drawn as opaque RGB) as a PNG file, with its dots
// per metre, packed in two parts on two threads; empty when deflating
// fails.
QByteArray encodePng(const QImage& image);
