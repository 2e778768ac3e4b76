// Input side: line splitting rules, gzip members, truncated streams, field
// picking with every kind of separator.
#include "io/field_splitter.h"
#include "io/line_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {
std::vector<std::string> readLines(const std::string& path, bool* failed = nullptr, bool zlib = false)
{
    LineReader in(zlib ? openInputWithZlib(path) : openInput(path));
    std::vector<std::string> lines;
    std::string_view line;
    while (in.next(line))
        lines.emplace_back(line);
    if (failed)
        *failed = in.failed();
    return lines;
}

std::vector<std::string> pick(const std::string& line, const std::string& word, int a, int b, int c)
{
    const FieldSeparator sep = separatorForWord(word);
    PickedColumns cols;
    for (int column : {a, b, c})
        cols.add(column);
    std::string_view out[3];
    if (!pickFields(line, sep, cols, out))
        return {"<short>"};
    return {std::string(out[0]), std::string(out[1]), std::string(out[2])};
}
} // namespace

TEST(Reader, LineRules)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/a", "one\r\ntw\ro\n\nlast");
    EXPECT_EQ(readLines(dir + "/a"), (std::vector<std::string>{"one", "two", "", "last"}));
    writeFile(dir + "/b", "x\n");
    EXPECT_EQ(readLines(dir + "/b"), (std::vector<std::string>{"x"}));
    writeFile(dir + "/empty", "");
    LineReader in(openInput(dir + "/empty"));
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(openInput(dir + "/missing"), nullptr);
    EXPECT_EQ(openInput(dir), nullptr);
}

// Lines of every length up to twice the 64 bytes looked at inline, some
// with carriage returns anywhere, over several read buffers: each reads as
// its text without the carriage returns.
TEST(Reader, LinesOfEveryLengthWithCarriageReturns)
{
    std::mt19937 rng(8);
    std::string file;
    std::vector<std::string> want;
    while (file.size() < (3u << 20)) {
        std::string line, bare;
        const size_t length = rng() % 130;
        for (size_t k = 0; k < length; ++k) {
            const char c = rng() % 40 == 0 ? '\r' : static_cast<char>('a' + rng() % 26);
            line += c;
            if (c != '\r')
                bare += c;
        }
        file += line + (rng() % 7 == 0 ? "\r\n" : "\n");
        want.push_back(bare);
    }
    const std::string dir = makeTempDir();
    writeFile(dir + "/cr", file);
    const auto lines = readLines(dir + "/cr");
    ASSERT_EQ(lines.size(), want.size());
    for (size_t k = 0; k < want.size(); ++k)
        ASSERT_EQ(lines[k], want[k]) << "line " << k;
}

TEST(Reader, LongLinesGrowTheBuffer)
{
    const std::string dir = makeTempDir();
    const std::string big(5 << 20, 'x');
    writeFile(dir + "/long", "a\n" + big + "\nb");
    const auto lines = readLines(dir + "/long");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], big);
    EXPECT_EQ(lines[2], "b");
}

TEST(Reader, GzipMembersReadLikePlainText)
{
    const std::string dir = makeTempDir();
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "1\t" + std::to_string(i) + "\t0.5\r\n";
    writeFile(dir + "/plain", text);
    writeGzip(dir + "/one.gz", text, 1);
    writeGzip(dir + "/many.gz", text, 37);
    const auto plain = readLines(dir + "/plain");
    for (bool zlib : {false, true}) {
        EXPECT_EQ(readLines(dir + "/one.gz", nullptr, zlib), plain);
        bool failed = true;
        EXPECT_EQ(readLines(dir + "/many.gz", &failed, zlib), plain);
        EXPECT_FALSE(failed);
    }
}

TEST(Reader, TruncatedOrCorruptGzipFails)
{
    const std::string dir = makeTempDir();
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "chr1\t" + std::to_string(i) + "\n";
    writeGzip(dir + "/t.gz", text, 3);
    const std::string whole = readFile(dir + "/t.gz");
    writeFile(dir + "/cut.gz", whole.substr(0, whole.size() - 5));
    std::string bad = whole;
    bad[bad.size() / 2] ^= 0x55;
    bad[bad.size() / 2 + 1] ^= 0x55;
    writeFile(dir + "/bad.gz", bad);
    writeFile(dir + "/junk.gz", whole + "junk");
    writeFile(dir + "/zeros-then-junk.gz", whole + std::string(300000, '\0') + "x");
    // Zero padding after the last member (tape and block devices) is no damage.
    writeFile(dir + "/padded.gz", whole + std::string(300000, '\0'));
    const auto plain = readLines(dir + "/t.gz");
    for (bool zlib : {false, true}) {
        for (const char* name : {"/cut.gz", "/bad.gz", "/junk.gz", "/zeros-then-junk.gz"}) {
            bool failed = false;
            readLines(dir + name, &failed, zlib);
            EXPECT_TRUE(failed) << name << (zlib ? " (zlib)" : "");
        }
        bool failed = true;
        EXPECT_EQ(readLines(dir + "/padded.gz", &failed, zlib), plain);
        EXPECT_FALSE(failed) << (zlib ? "zlib" : "");
    }
}

// The separator words; every text separator's splitting: the plain-split
// comparison below.
TEST(Reader, FieldPickingBySeparatorWord)
{
    EXPECT_EQ(pick("1\t100\t0.5", "tab", 2, 3, 1), (std::vector<std::string>{"100", "0.5", "1"}));
    // One blank separates; two blanks enclose an empty field that is counted.
    EXPECT_EQ(pick("1  100 0.5", "space", 3, 4, 1), (std::vector<std::string>{"100", "0.5", "1"}));
    EXPECT_EQ(pick("  1 \t 100   0.5  ", "whitespace", 2, 3, 1), (std::vector<std::string>{"100", "0.5", "1"}));
    EXPECT_EQ(pick("a::b::c", "::", 3, 2, 1), (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(pick("aTABb", "TAB", 2, 1, 1), (std::vector<std::string>{"b", "a", "a"}));
    EXPECT_EQ(pick("   ", "whitespace", 1, 1, 1), (std::vector<std::string>{"<short>"}));
    EXPECT_EQ(pick("x\\y", "bslash", 2, 1, 1), (std::vector<std::string>{"y", "x", "x"}));
    EXPECT_EQ(pick("x\"y'z", "quote", 2, 1, 1), (std::vector<std::string>{"y'z", "x", "x"}));
}

// The picking must equal a plain split on every separator occurrence,
// whatever the line length (the fast path works 16 bytes at a time).
TEST(Reader, FieldPickingMatchesPlainSplit)
{
    std::mt19937 rng(3);
    const char alphabet[] = "\t,ab1.-e \t\t,";
    for (int trial = 0; trial < 20000; ++trial) {
        std::string line;
        const int len = static_cast<int>(rng() % 80);
        for (int i = 0; i < len; ++i)
            line += alphabet[rng() % (sizeof alphabet - 1)];
        const std::string sepText = trial % 3 == 0 ? "," : trial % 3 == 1 ? "\t" : "\t,";
        std::vector<std::string> all;
        for (size_t at = 0;;) {
            const size_t next = line.find(sepText, at);
            all.push_back(line.substr(at, next == std::string::npos ? std::string::npos : next - at));
            if (next == std::string::npos)
                break;
            at = next + sepText.size();
        }
        // Now and then a column far out (past the 64 looked up in a table).
        PickedColumns cols;
        for (int k = 1 + static_cast<int>(rng() % PickedColumns::kMax); k > 0; --k)
            cols.add(trial % 50 == 0 && k == 1 ? 70 : 1 + static_cast<int>(rng() % 12));
        FieldSeparator sep;
        sep.text = sepText;
        std::string_view out[PickedColumns::kMax] = {};
        const bool ok = pickFields(line, sep, cols, out);
        ASSERT_EQ(ok, static_cast<int>(all.size()) >= cols.last()) << "line '" << line << "'";
        // A short row still has the fields it reaches; the others stay null.
        for (int k = 0; k < cols.count; ++k) {
            const size_t column = static_cast<size_t>(cols.number[k]);
            if (column <= all.size())
                ASSERT_EQ(std::string(out[k]), all[column - 1]) << "line '" << line << "'";
            else
                ASSERT_EQ(out[k].data(), nullptr) << "line '" << line << "'";
        }
    }
}
