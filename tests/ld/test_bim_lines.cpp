// The word-at-a-time .bim splitter against the byte-by-byte one (TextLines
// with bimFields) over generated lines: odd whitespace (tabs, runs of
// spaces, CR, vertical tabs, NUL bytes), blank lines, too few and too many
// fields, positions of every length and form, lines around 64 bytes and
// longer than the buffer, files with and without a last line end, and
// parts of a file read apart.
#include "ld/bim_lines.h"
#include "ld/text_lines.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Generator {
    std::mt19937_64 random;
    explicit Generator(uint64_t seed) : random(seed) {}

    size_t below(size_t n) { return static_cast<size_t>(random() % n); }

    std::string separator()
    {
        static const char* const kSeps[] = {"\t", "\t", "\t", " ", "  ", " \t ", "\r", "\v", "\f"};
        if (below(40) == 0)
            return std::string(1, '\0');
        return kSeps[below(sizeof kSeps / sizeof kSeps[0])];
    }

    std::string word(size_t length)
    {
        static const char kChars[] = "ACGTacgtrs0123456789_:.-+/\x80\xff";
        std::string w;
        for (size_t i = 0; i < length; ++i)
            w += kChars[below(sizeof kChars - 1)];
        return w;
    }

    std::string digits(size_t n)
    {
        std::string d;
        for (size_t i = 0; i < n; ++i)
            d += static_cast<char>('0' + below(10));
        return d;
    }

    std::string position()
    {
        switch (below(14)) {
        case 0: return "2147483647";
        case 1: return "2147483648";
        case 2: return "-0";
        case 3: return "-" + digits(1 + below(5));
        case 4: return "+" + digits(1 + below(5));
        case 5: return std::string(1 + below(12), '0') + digits(below(9));
        case 6: return digits(1 + below(20));
        case 7: return digits(1 + below(8)) + word(1);
        case 8: return word(1) + digits(1 + below(8));
        case 9: return "999999999";
        case 10: return "1000000000";
        default: return digits(1 + below(9));
        }
    }

    std::string line()
    {
        const size_t kind = below(20);
        if (kind == 0)
            return "";
        if (kind == 1)
            return separator() + separator();
        size_t fields = 6;
        if (kind == 2)
            fields = below(9);
        std::string l = below(6) == 0 ? separator() : "";
        for (size_t f = 0; f < fields; ++f) {
            if (f > 0)
                l += separator();
            if (f == 3)
                l += position();
            else if (f == 1)
                l += "rs" + digits(1 + below(9)) + (below(8) == 0 ? word(20 + below(80)) : "");
            else if (f == 2)
                l += below(2) ? "0" : word(1 + below(6));
            else
                l += word(1 + below(below(10) == 0 ? 40 : 3));
        }
        if (below(5) == 0)
            l += separator();
        if (below(7) == 0)
            l += "\r";
        return l;
    }
};

struct Seen {
    uint64_t line = 0;
    std::string fields; // the five fields and the position, or "bad"
    bool operator==(const Seen& o) const { return line == o.line && fields == o.fields; }
};

std::string described(const BimFields& f)
{
    return std::string(f.chromosome) + "|" + std::string(f.id) + "|" + std::to_string(f.position) + "|" +
           std::string(f.allele1) + "|" + std::string(f.allele2);
}

// The variants of the bytes [from, to) as the byte-by-byte splitter gives
// them, up to the first bad line.
std::vector<Seen> plainRead(const std::string& path, uint64_t from, uint64_t to, uint64_t firstLine)
{
    std::vector<Seen> out;
    TextLines lines(path, from, to, firstLine);
    LineFields fields;
    BimFields f;
    while (lines.next(fields)) {
        if (!bimFields(fields, f)) {
            out.push_back({lines.lineNumber(), "bad"});
            break;
        }
        out.push_back({lines.lineNumber(), described(f)});
    }
    EXPECT_EQ(lines.error(), 0);
    return out;
}

std::vector<Seen> fastRead(const std::string& path, uint64_t from, uint64_t to, uint64_t firstLine, size_t buffer)
{
    std::vector<Seen> out;
    BimLines lines(path, from, to, firstLine, buffer);
    BimFields f;
    while (lines.next(f))
        out.push_back({lines.lineNumber(), described(f)});
    if (lines.bad())
        out.push_back({lines.lineNumber(), "bad"});
    EXPECT_EQ(lines.error(), 0);
    return out;
}

std::string firstMismatch(const std::vector<Seen>& a, const std::vector<Seen>& b)
{
    for (size_t i = 0; i < a.size() || i < b.size(); ++i) {
        if (i >= a.size() || i >= b.size() || !(a[i] == b[i]))
            return "at " + std::to_string(i) + ": " + (i < a.size() ? a[i].fields : "none") + " / " +
                   (i < b.size() ? b[i].fields : "none");
    }
    return "";
}

} // namespace

TEST(BimLines, EachLineSplitAsTheBytewiseSplitterSplitsIt)
{
    // Every line alone in a file (20,000 lines), with junk after its '\n'
    // for the splitter's word reads.
    Generator g(11);
    const std::string dir = makeTempDir();
    std::string text;
    std::vector<std::string> lines;
    for (int k = 0; k < 20000; ++k) {
        lines.push_back(g.line());
        text += lines.back() + "\n";
    }
    writeFile(dir + "/all.bim", text);
    // The reference: each line's fields by its number (blank lines absent).
    TextLines plain(dir + "/all.bim");
    LineFields fields;
    std::vector<std::string> expected(lines.size() + 1, "blank");
    while (plain.next(fields)) {
        BimFields f;
        expected[plain.lineNumber()] = bimFields(fields, f) ? described(f) : "bad";
    }
    size_t variants = 0, bad = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        std::string buffer = lines[k] + "\n" + g.word(16);
        const char* p = buffer.data();
        BimFields f;
        const BimLineKind kind = splitBimLine(p, f);
        const std::string got = kind == BimLineKind::kVariant ? described(f)
                                : kind == BimLineKind::kBad   ? "bad"
                                                              : "blank";
        ASSERT_EQ(got, expected[k + 1]) << "line " << k + 1 << ": '" << lines[k] << "'";
        ASSERT_EQ(p, buffer.data() + lines[k].size() + 1) << "line " << k + 1;
        variants += kind == BimLineKind::kVariant;
        bad += kind == BimLineKind::kBad;
    }
    EXPECT_GT(variants, 10000u); // the cases cover all three kinds
    EXPECT_GT(bad, 1000u);
}

TEST(BimLines, FilesAndTheirPartsReadAsTheBytewiseReaderReadsThem)
{
    // 300 files of up to 60 lines, mostly good ones (a bad line ends the
    // reading), with and without a last line end, each read whole through
    // buffers of several sizes (lines longer than a buffer make it grow)
    // and in two parts split at a line start.
    Generator g(12);
    const std::string dir = makeTempDir();
    for (int file = 0; file < 300; ++file) {
        std::string text;
        std::vector<uint64_t> starts;
        const size_t n = g.below(60);
        for (size_t k = 0; k < n; ++k) {
            starts.push_back(text.size());
            std::string l = g.line();
            if (g.below(4) != 0) // mostly variants, so that the reading goes on
                l = std::to_string(1 + g.below(22)) + "\trs" + g.digits(1 + g.below(9)) + "\t0\t" +
                    g.digits(1 + g.below(9)) +
                    (g.below(10) == 0 ? "  " : "\t") + g.word(1 + g.below(3)) + "\t" + g.word(1 + g.below(3));
            text += l;
            if (k + 1 < n || g.below(2) == 0)
                text += g.below(5) == 0 ? "\r\n" : "\n";
        }
        const std::string path = dir + "/" + std::to_string(file) + ".bim";
        writeFile(path, text);
        const std::vector<Seen> whole = plainRead(path, 0, UINT64_MAX, 0);
        for (size_t buffer : {size_t(1), size_t(70), size_t(333), size_t(1) << 17}) {
            const std::string m = firstMismatch(whole, fastRead(path, 0, UINT64_MAX, 0, buffer));
            ASSERT_EQ(m, "") << "file " << file << " buffer " << buffer;
        }
        if (starts.size() < 2)
            continue;
        const size_t cut = 1 + g.below(starts.size() - 1);
        for (const auto& [from, to, first] : {std::tuple<uint64_t, uint64_t, uint64_t>{0, starts[cut], 0},
                                              std::tuple<uint64_t, uint64_t, uint64_t>{starts[cut], UINT64_MAX, cut}}) {
            const std::string m = firstMismatch(plainRead(path, from, to, first), fastRead(path, from, to, first, 64));
            ASSERT_EQ(m, "") << "file " << file << " from " << from;
        }
    }
}

TEST(BimLines, MissingFileIsAReadError)
{
    BimLines lines(makeTempDir() + "/absent.bim", 0, UINT64_MAX, 0);
    BimFields f;
    EXPECT_FALSE(lines.next(f));
    EXPECT_FALSE(lines.bad());
    EXPECT_NE(lines.error(), 0);
}
