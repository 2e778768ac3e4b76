// PNG chunks: signature, IHDR, pHYs, one IDAT, IEND, each with its CRC. The
// IDAT's zlib stream is deflated in two parts on two threads: the first
// ends on a full flush (byte-aligned, no final block), the second is
// final, and their Adler-32 sums are combined; the bytes are the same
// whichever thread packs which part.
#include "plot/png_encoder.h"

#include "base/thread_pool.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>
#include <zlib.h>

#ifdef QUORLIN_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

namespace {

using Bytes = std::vector<unsigned char>;

void put32(Bytes& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

void chunk(QByteArray& file, const char type[4], const Bytes& data)
{
    Bytes head;
    put32(head, static_cast<uint32_t>(data.size()));
    head.insert(head.end(), type, type + 4);
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(type), 4);
    if (!data.empty())
        crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    Bytes tail;
    put32(tail, static_cast<uint32_t>(crc));
    file.append(reinterpret_cast<const char*>(head.data()), static_cast<qsizetype>(head.size()));
    file.append(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
    file.append(reinterpret_cast<const char*>(tail.data()), static_cast<qsizetype>(tail.size()));
}

// Four bytes less four others at once, with no borrow from one byte into
// the next.
inline uint32_t byteDifferences(uint32_t p, uint32_t q)
{
    constexpr uint32_t kHigh = 0x80808080u;
    return ((p | kHigh) - (q & ~kHigh)) ^ ((p ^ ~q) & kHigh);
}

// Filters rows [from, to) of the part starting at row partFirst into out
// (rowBytes + 1 bytes a row): each row's RGB bytes after its filter byte,
// 2 ("Up": each byte minus the byte above) but for the part's first row
// below another part, 1 ("Sub": each byte minus the one a pixel to its
// left), which reads no row of that other part.
void filterRows(const QImage& image, int partFirst, int from, int to, unsigned char* out)
{
    const int width = image.width();
    for (int y = from; y < to; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (y == partFirst && y > 0) {
            *out++ = 1;
            for (int x = 0; x < width; ++x) {
                const uint32_t d = byteDifferences(row[x], x > 0 ? row[x - 1] : 0);
                out[0] = static_cast<unsigned char>(d >> 16); // red
                out[1] = static_cast<unsigned char>(d >> 8);
                out[2] = static_cast<unsigned char>(d);
                out += 3;
            }
            continue;
        }
        const auto* above = y > 0 ? reinterpret_cast<const QRgb*>(image.constScanLine(y - 1)) : nullptr;
        *out++ = 2;
        for (int x = 0; x < width; ++x) {
            const uint32_t p = row[x], q = above ? above[x] : 0;
            const uint32_t d = byteDifferences(p, q);
            out[0] = static_cast<unsigned char>(d >> 16); // red
            out[1] = static_cast<unsigned char>(d >> 8);
            out[2] = static_cast<unsigned char>(d);
            out += 3;
        }
    }
}

// Raw deflate, fed in pieces: the last piece ends the stream (final) or
// ends it byte-aligned for another stream's blocks to follow.
class Deflater {
public:
    Deflater(size_t inputSize, bool final) : out_(new unsigned char[bound(inputSize)]), final_(final)
    {
        const size_t room = bound(inputSize);
#ifdef QUORLIN_HAVE_ISAL
        isal_ = room < UINT32_MAX;
        if (isal_) {
            isal_deflate_init(&s_);
            s_.gzip_flag = IGZIP_DEFLATE;
            s_.level = 1;
            level_.resize(ISAL_DEF_LVL1_DEFAULT);
            s_.level_buf = level_.data();
            s_.level_buf_size = static_cast<uint32_t>(level_.size());
            s_.next_out = out_.get();
            s_.avail_out = static_cast<uint32_t>(room);
            return;
        }
#endif
        ok_ = deflateInit2(&z_, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        zlibOpen_ = ok_;
        z_.next_out = out_.get();
        z_.avail_out = static_cast<uInt>(std::min<size_t>(room, UINT32_MAX));
    }
    ~Deflater()
    {
        if (zlibOpen_)
            deflateEnd(&z_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    void feed(unsigned char* in, size_t n, bool last)
    {
        if (!ok_)
            return;
#ifdef QUORLIN_HAVE_ISAL
        if (isal_) {
            s_.next_in = in;
            s_.avail_in = static_cast<uint32_t>(n);
            s_.end_of_stream = last && final_ ? 1 : 0;
            s_.flush = last && !final_ ? FULL_FLUSH : NO_FLUSH;
            ok_ = isal_deflate(&s_) == COMP_OK && s_.avail_in == 0;
            if (ok_ && last && final_)
                ok_ = s_.internal_state.state == ZSTATE_END;
            return;
        }
#endif
        z_.next_in = in;
        z_.avail_in = static_cast<uInt>(n);
        const int rc = deflate(&z_, last ? (final_ ? Z_FINISH : Z_FULL_FLUSH) : Z_NO_FLUSH);
        ok_ = (last && final_ ? rc == Z_STREAM_END : rc == Z_OK) && z_.avail_in == 0;
    }

    // The stream; empty after a failure.
    Bytes take() const
    {
        if (!ok_)
            return {};
#ifdef QUORLIN_HAVE_ISAL
        if (isal_)
            return Bytes(out_.get(), out_.get() + s_.total_out);
#endif
        return Bytes(out_.get(), out_.get() + z_.total_out);
    }

private:
    // Room for any input, as in a stored block, left uninitialised: only the
    // pages written are touched.
    static size_t bound(size_t n) { return n + n / 1000 + (n >> 12) + 1024; }

    std::unique_ptr<unsigned char[]> out_;
    bool final_;
    bool ok_ = true;
#ifdef QUORLIN_HAVE_ISAL
    bool isal_ = false;
    isal_zstream s_{};
    std::vector<uint8_t> level_;
#endif
    z_stream z_{};
    bool zlibOpen_ = false;
};

} // namespace

// Filtered and deflated a few rows at a time, so the filtered rows stay in
// the cache.
PngPart packPngRows(const QImage& image, int first, int last, bool final)
{
    constexpr int kRows = 16;
    const size_t rowBytes = static_cast<size_t>(image.width()) * 3 + 1;
    PngPart p;
    p.rawSize = rowBytes * static_cast<size_t>(last - first);
    Deflater deflater(p.rawSize, final);
    std::vector<unsigned char> piece(rowBytes * kRows);
    for (int y = first;; y += kRows) { // once at least: an empty part is an empty block
        const int to = std::min(y + kRows, last);
        filterRows(image, first, y, to, piece.data());
        const size_t n = rowBytes * static_cast<size_t>(std::max(to - y, 0));
#ifdef QUORLIN_HAVE_ISAL
        p.adler = isal_adler32(p.adler, piece.data(), n);
#else
        p.adler = static_cast<uint32_t>(adler32_z(p.adler, piece.data(), n));
#endif
        deflater.feed(piece.data(), n, to >= last);
        if (to >= last)
            break;
    }
    p.packed = deflater.take();
    return p;
}

QByteArray assemblePng(const QImage& image, const std::vector<PngPart>& parts)
{
    Bytes stream = {0x78, 0x01}; // deflate, 32 KB window, fastest level
    uLong adler = 1;
    for (const PngPart& p : parts) {
        if (p.packed.empty())
            return {};
        stream.insert(stream.end(), p.packed.begin(), p.packed.end());
        adler = adler32_combine(adler, p.adler, static_cast<z_off_t>(p.rawSize));
    }
    put32(stream, static_cast<uint32_t>(adler));

    QByteArray file("\x89PNG\r\n\x1a\n", 8);
    Bytes header;
    put32(header, static_cast<uint32_t>(image.width()));
    put32(header, static_cast<uint32_t>(image.height()));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, adaptive filtering, no interlace
    chunk(file, "IHDR", header);
    Bytes density;
    put32(density, static_cast<uint32_t>(image.dotsPerMeterX()));
    put32(density, static_cast<uint32_t>(image.dotsPerMeterY()));
    density.push_back(1); // per metre
    chunk(file, "pHYs", density);
    chunk(file, "IDAT", stream);
    chunk(file, "IEND", {});
    return file;
}

QByteArray encodePng(const QImage& source)
{
    const QImage image =
        source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
    const int middle = image.height() / 2;
    std::vector<PngPart> parts(2);
    ThreadPool pool(1);
    pool.parallelFor(2, [&](size_t k, int) {
        parts[k] = k == 0 ? packPngRows(image, 0, middle, false) : packPngRows(image, middle, image.height(), true);
    });
    return assemblePng(image, parts);
}
