// The BGZF reader that inflates blocks ahead on a pool against htslib's
// reading: the same lines and positions (tell) read straight through and
// after seeks, with and without a pool and with a plan that is right,
// partly wrong or empty; lines longer than a block, CR LF ends, empty
// lines and a last line without its end; a damaged block is an error.
#include "base/thread_pool.h"
#include "ld/bgzf_blocks.h"
#include "ld/bgzf_lines.h"
#include "ld_reference.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

struct Line {
    uint64_t at = 0; // virtual offset before the line
    std::string text;
    uint64_t after = 0;
};

std::vector<Line> htslibLines(const std::string& path)
{
    std::vector<Line> lines;
    BGZF* b = bgzf_open(path.c_str(), "r");
    EXPECT_TRUE(b);
    kstring_t s = KS_INITIALIZE;
    for (;;) {
        Line l;
        l.at = static_cast<uint64_t>(bgzf_tell(b));
        if (bgzfLine(b, &s) < 0)
            break;
        l.text.assign(s.s, s.l);
        l.after = static_cast<uint64_t>(bgzf_tell(b));
        lines.push_back(l);
    }
    ks_free(&s);
    bgzf_close(b);
    return lines;
}

std::string generatedText(uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::string text;
    for (int k = 0; k < 500; ++k) {
        const size_t length = k % 61 == 0 ? 140000 : k % 6 == 0 ? 0 : random() % 6000;
        for (size_t i = 0; i < length; ++i)
            text += static_cast<char>(random() % 3 == 0 ? '\t' : '0' + random() % 10);
        text += k % 9 == 0 ? "\r\n" : "\n";
    }
    return text + "the last line without its end";
}

} // namespace

TEST(BgzfBlocks, SameLinesAndPositionsAsHtslibWithAndWithoutAPool)
{
    const std::string path = makeTempDir() + "/t.gz";
    writeBgzf(path, generatedText(41));
    const std::vector<Line> expected = htslibLines(path);
    ASSERT_GT(expected.size(), 400u);
    std::vector<uint64_t> right, wrong;
    for (size_t k = 0; k < expected.size(); k += 7) {
        right.push_back(expected[k].at >> 16);
        wrong.push_back(k % 14 == 0 ? (expected[k].at >> 16) + 1 : expected[k].at >> 16);
    }
    ThreadPool pool(1);
    for (const std::vector<uint64_t>* plan : {&right, &wrong}) {
        for (ThreadPool* p : {static_cast<ThreadPool*>(nullptr), &pool}) {
            // Straight through.
            BgzfBlockLines lines(path, *plan, p);
            ASSERT_TRUE(lines.opened());
            const char* s = nullptr;
            size_t n = 0;
            for (size_t k = 0; k < expected.size(); ++k) {
                ASSERT_EQ(lines.tell(), expected[k].at) << "line " << k;
                ASSERT_EQ(lines.line(s, n), 1) << "line " << k;
                ASSERT_EQ(std::string(s, n), expected[k].text) << "line " << k;
                ASSERT_EQ(lines.tell(), expected[k].after) << "line " << k;
            }
            EXPECT_EQ(lines.line(s, n), 0);
            // Seeks forward from line to line, then back.
            BgzfBlockLines seeking(path, *plan, p);
            for (size_t k = 3; k < expected.size(); k += 7 + k % 5) {
                ASSERT_TRUE(seeking.seek(expected[k].at)) << "line " << k;
                ASSERT_EQ(seeking.line(s, n), 1) << "line " << k;
                ASSERT_EQ(std::string(s, n), expected[k].text) << "line " << k;
            }
            ASSERT_TRUE(seeking.seek(expected[1].at));
            ASSERT_EQ(seeking.line(s, n), 1);
            EXPECT_EQ(std::string(s, n), expected[1].text);
        }
    }
}

TEST(BgzfBlocks, DamagedBlockIsAnErrorNotTheEnd)
{
    const std::string dir = makeTempDir();
    const std::string path = dir + "/t.gz";
    writeBgzf(path, generatedText(42));
    const std::string bytes = readFile(path);
    // The blocks' offsets, from each header's size field.
    std::vector<uint64_t> blocks;
    for (uint64_t at = 0; at + 18 <= bytes.size();
         at += 1 + (uint8_t(bytes[at + 16]) | uint64_t(uint8_t(bytes[at + 17])) << 8))
        blocks.push_back(at);
    ASSERT_GT(blocks.size(), 10u);
    const uint64_t middle = blocks[blocks.size() / 2];
    // The deflate data, the size field, the CRC-32.
    const uint64_t crcAt = blocks[blocks.size() / 2 + 1] - 8;
    for (uint64_t at : {middle + 30, middle + 16, crcAt}) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5a);
        writeFile(dir + "/d.gz", damaged);
        ThreadPool pool(1);
        for (ThreadPool* p : {static_cast<ThreadPool*>(nullptr), &pool}) {
            BgzfBlockLines lines(dir + "/d.gz", {0, middle}, p);
            const char* s = nullptr;
            size_t n = 0;
            int r;
            while ((r = lines.line(s, n)) == 1) {
            }
            EXPECT_EQ(r, -1) << "damaged at " << at;
            EXPECT_FALSE(lines.seek(middle << 16)) << "damaged at " << at;
        }
    }
}
