// PNG chunks: signature, IHDR, pHYs, one IDAT, IEND, each with its CRC. The
// IDAT's zlib stream is deflated in parts, each on its own thread: all but
// the last end on a full flush (byte-aligned, no final block), the last is
// final, and the parts' Adler-32 and CRC-32 sums are combined; the bytes
// are the same whichever thread packs which part. The buffers are fresh
// memory, mapped before they are written (base/fresh_pages.h), and the
// file is put together in one buffer of its final size.
#include "plot/png_encoder.h"

#include "base/fresh_pages.h"
#include "base/thread_pool.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>
#include <zlib.h>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

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

void append(QByteArray& file, const unsigned char* bytes, size_t n)
{
    file.append(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(n));
}

// A chunk's length and type; returns the CRC-32 of the type, which the
// chunk's CRC goes on from.
uLong chunkHead(QByteArray& file, const char type[4], size_t length)
{
    Bytes head;
    put32(head, static_cast<uint32_t>(length));
    head.insert(head.end(), type, type + 4);
    append(file, head.data(), head.size());
    return crc32(0L, reinterpret_cast<const Bytef*>(type), 4);
}

// The chunk's CRC-32, which ends it.
void chunkTail(QByteArray& file, uLong crc)
{
    Bytes tail;
    put32(tail, static_cast<uint32_t>(crc));
    append(file, tail.data(), tail.size());
}

void chunk(QByteArray& file, const char type[4], const Bytes& data)
{
    uLong crc = chunkHead(file, type, data.size());
    if (!data.empty())
        crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    append(file, data.data(), data.size());
    chunkTail(file, crc);
}

// Four bytes less four others at once, with no borrow from one byte into
// the next.
inline uint32_t byteDifferences(uint32_t p, uint32_t q)
{
    constexpr uint32_t kHigh = 0x80808080u;
    return ((p | kHigh) - (q & ~kHigh)) ^ ((p ^ ~q) & kHigh);
}

// One row's "Up" differences, RGB (3 bytes a pixel) into out; above is
// null for the image's first row (as if a row of zeros).
using UpRow = void (*)(const QRgb* row, const QRgb* above, int width, unsigned char* out);

void upRowPlain(const QRgb* row, const QRgb* above, int width, unsigned char* out)
{
    for (int x = 0; x < width; ++x) {
        const uint32_t d = byteDifferences(row[x], above ? above[x] : 0);
        out[0] = static_cast<unsigned char>(d >> 16); // red
        out[1] = static_cast<unsigned char>(d >> 8);
        out[2] = static_cast<unsigned char>(d);
        out += 3;
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Four pixels at a time: the byte differences in one subtraction, then red,
// green and blue of each picked out in order. Each store writes 16 bytes of
// which 12 are the four pixels'; the rest lies within the row and is
// written again by the pixels after them.
__attribute__((target("ssse3"))) void upRowSsse3(const QRgb* row, const QRgb* above, int width, unsigned char* out)
{
    const __m128i pick = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    int x = 0;
    for (; x + 6 <= width; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        const __m128i q =
            above ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + x)) : _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), _mm_shuffle_epi8(_mm_sub_epi8(p, q), pick));
    }
    upRowPlain(row + x, above ? above + x : nullptr, width - x, out + 3 * x);
}

UpRow upRowFunction() { return __builtin_cpu_supports("ssse3") ? upRowSsse3 : upRowPlain; }
#else
UpRow upRowFunction() { return upRowPlain; }
#endif

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
        static const UpRow up = upRowFunction();
        up(row, above, width, out);
        out += size_t(width) * 3;
    }
}

// Raw deflate, fed in pieces: the last piece ends the stream (final) or
// ends it byte-aligned for another stream's blocks to follow.
class Deflater {
public:
    Deflater(size_t inputSize, bool final)
        : room_(bound(inputSize)), out_(new unsigned char[room_]), final_(final)
    {
#ifdef QUORLIN_HAVE_ISAL
        isal_ = room_ < UINT32_MAX;
        if (isal_) {
            isal_deflate_init(&s_);
            s_.gzip_flag = IGZIP_DEFLATE;
            s_.level = 1;
            level_.reset(new uint8_t[ISAL_DEF_LVL1_DEFAULT]);
            mapFreshPages(level_.get(), ISAL_DEF_LVL1_DEFAULT);
            std::memset(level_.get(), 0, ISAL_DEF_LVL1_DEFAULT);
            s_.level_buf = level_.get();
            s_.level_buf_size = ISAL_DEF_LVL1_DEFAULT;
            s_.next_out = out_.get();
            s_.avail_out = static_cast<uint32_t>(room_);
            return;
        }
#endif
        ok_ = deflateInit2(&z_, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        zlibOpen_ = ok_;
        z_.next_out = out_.get();
        z_.avail_out = static_cast<uInt>(std::min<size_t>(room_, UINT32_MAX));
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
        // The output pages this piece may write, mapped ahead of it: no
        // more than one piece's worth beyond what the stream holds.
        const size_t reach = std::min(room_, written() + n + 1024);
        if (reach > mapped_) {
            mapFreshPages(out_.get() + mapped_, reach - mapped_);
            mapped_ = reach;
        }
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

    // Hands the stream's bytes over to part; none after a failure.
    void give(PngPart& part)
    {
        part.packedSize = ok_ ? written() : 0;
        part.packed = std::move(out_);
        part.crc = static_cast<uint32_t>(crc32_z(0L, part.packed.get(), part.packedSize));
    }

private:
    // Room for any input, as in a stored block, left uninitialised: only the
    // pages written are touched.
    static size_t bound(size_t n) { return n + n / 1000 + (n >> 12) + 1024; }

    size_t written() const
    {
#ifdef QUORLIN_HAVE_ISAL
        if (isal_)
            return s_.total_out;
#endif
        return z_.total_out;
    }

    size_t room_;
    std::unique_ptr<unsigned char[]> out_;
    size_t mapped_ = 0; // bytes of out_ whose pages are mapped
    bool final_;
    bool ok_ = true;
#ifdef QUORLIN_HAVE_ISAL
    bool isal_ = false;
    isal_zstream s_{};
    std::unique_ptr<uint8_t[]> level_;
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
    const std::unique_ptr<unsigned char[]> piece(new unsigned char[rowBytes * kRows]);
    mapFreshPages(piece.get(), rowBytes * kRows);
    for (int y = first;; y += kRows) { // once at least: an empty part is an empty block
        const int to = std::min(y + kRows, last);
        filterRows(image, first, y, to, piece.get());
        const size_t n = rowBytes * static_cast<size_t>(std::max(to - y, 0));
#ifdef QUORLIN_HAVE_ISAL
        p.adler = isal_adler32(p.adler, piece.get(), n);
#else
        p.adler = static_cast<uint32_t>(adler32_z(p.adler, piece.get(), n));
#endif
        deflater.feed(piece.get(), n, to >= last);
        if (to >= last)
            break;
    }
    deflater.give(p);
    return p;
}

QByteArray assemblePng(const QImage& image, const std::vector<PngPart>& parts)
{
    size_t packed = 0;
    for (const PngPart& p : parts) {
        if (p.packedSize == 0)
            return {};
        packed += p.packedSize;
    }
    // The zlib stream: its header, the parts, the Adler-32 of all rows.
    const unsigned char zlibHead[2] = {0x78, 0x01}; // deflate, 32 KB window, fastest level
    uLong adler = 1;
    for (const PngPart& p : parts)
        adler = adler32_combine(adler, p.adler, static_cast<z_off_t>(p.rawSize));
    Bytes zlibTail;
    put32(zlibTail, static_cast<uint32_t>(adler));
    const size_t idat = sizeof zlibHead + packed + zlibTail.size();
    if (idat > UINT32_MAX)
        return {};

    QByteArray file;
    file.reserve(static_cast<qsizetype>(8 + 25 + 21 + 12 + idat + 12));
    mapFreshPages(file.data(), static_cast<size_t>(file.capacity()));
    file.append("\x89PNG\r\n\x1a\n", 8);
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
    // IDAT, its CRC combined from the parts' own.
    uLong crc = chunkHead(file, "IDAT", idat);
    append(file, zlibHead, sizeof zlibHead);
    crc = crc32(crc, zlibHead, sizeof zlibHead);
    for (const PngPart& p : parts) {
        append(file, p.packed.get(), p.packedSize);
        crc = crc32_combine(crc, p.crc, static_cast<z_off_t>(p.packedSize));
    }
    append(file, zlibTail.data(), zlibTail.size());
    crc = crc32(crc, zlibTail.data(), static_cast<uInt>(zlibTail.size()));
    chunkTail(file, crc);
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
