// Lines of a BGZF file found with memchr against htslib's bgzf_getline:
// the same lines, lengths and positions (bgzf_tell) after each, over lines
// shorter and longer than a block, CR LF ends, empty lines and a last line
// without its end; and a seek back to a position taken between lines.
#include "ld/bgzf_lines.h"
#include "ld_reference.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

TEST(BgzfLines, SameLinesAndPositionsAsBgzfGetline)
{
    std::mt19937_64 random(32);
    std::string text;
    for (int k = 0; k < 400; ++k) {
        const size_t length = k % 37 == 0 ? 150000 : k % 5 == 0 ? 0 : random() % 9000;
        for (size_t i = 0; i < length; ++i)
            text += static_cast<char>('a' + random() % 26);
        text += k % 7 == 0 ? "\r\n" : "\n";
    }
    text += "last line without its end";
    const std::string path = makeTempDir() + "/t.gz";
    writeBgzf(path, text);

    BGZF* mine = bgzf_open(path.c_str(), "r");
    BGZF* theirs = bgzf_open(path.c_str(), "r");
    ASSERT_TRUE(mine && theirs);
    kstring_t a = KS_INITIALIZE, b = KS_INITIALIZE;
    std::vector<std::pair<int64_t, std::string>> starts; // a position between lines and the line there
    for (int n = 0;; ++n) {
        const int64_t at = bgzf_tell(mine);
        const int r = bgzfLine(mine, &a), s = bgzf_getline(theirs, '\n', &b);
        ASSERT_EQ(r, s) << "line " << n;
        if (r < 0)
            break;
        ASSERT_EQ(std::string(a.s, a.l), std::string(b.s, b.l)) << "line " << n;
        ASSERT_EQ(bgzf_tell(mine), bgzf_tell(theirs)) << "after line " << n;
        if (n % 50 == 3)
            starts.push_back({at, std::string(a.s, a.l)});
    }
    for (const auto& [at, line] : starts) {
        ASSERT_EQ(bgzf_seek(mine, at, SEEK_SET), 0);
        ASSERT_GE(bgzfLine(mine, &a), 0);
        EXPECT_EQ(std::string(a.s, a.l), line);
    }
    ks_free(&a);
    ks_free(&b);
    bgzf_close(mine);
    bgzf_close(theirs);
}
