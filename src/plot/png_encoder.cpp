// PNG chunks: signature, IHDR, pHYs, one IDAT, IEND, each with its CRC.
#include "png_encoder.h"

#include <cstdint>
#include <vector>
#include <zlib.h>

namespace {

void put32(std::vector<unsigned char>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

void chunk(QByteArray& file, const char type[4], const std::vector<unsigned char>& data)
{
    std::vector<unsigned char> head;
    put32(head, static_cast<uint32_t>(data.size()));
    head.insert(head.end(), type, type + 4);
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(type), 4);
    if (!data.empty())
        crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    std::vector<unsigned char> tail;
    put32(tail, static_cast<uint32_t>(crc));
    file.append(reinterpret_cast<const char*>(head.data()), static_cast<qsizetype>(head.size()));
    file.append(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
    file.append(reinterpret_cast<const char*>(tail.data()), static_cast<qsizetype>(tail.size()));
}

} // namespace

QByteArray encodePng(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    const int width = image.width(), height = image.height();
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    // Filter "Up" (2): each byte minus the byte above it.
    std::vector<unsigned char> raw((rowBytes + 1) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = image.constScanLine(y);
        const unsigned char* above = y > 0 ? image.constScanLine(y - 1) : nullptr;
        unsigned char* out = raw.data() + (rowBytes + 1) * static_cast<size_t>(y);
        out[0] = 2;
        for (size_t x = 0; x < rowBytes; ++x)
            out[x + 1] = static_cast<unsigned char>(row[x] - (above ? above[x] : 0));
    }
    std::vector<unsigned char> packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_SPEED) != Z_OK)
        return {};
    packed.resize(packedSize);

    QByteArray file("\x89PNG\r\n\x1a\n", 8);
    std::vector<unsigned char> header;
    put32(header, static_cast<uint32_t>(width));
    put32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, adaptive filtering, no interlace
    chunk(file, "IHDR", header);
    std::vector<unsigned char> density;
    put32(density, static_cast<uint32_t>(image.dotsPerMeterX()));
    put32(density, static_cast<uint32_t>(image.dotsPerMeterY()));
    density.push_back(1); // per metre
    chunk(file, "pHYs", density);
    chunk(file, "IDAT", packed);
    chunk(file, "IEND", {});
    return file;
}
