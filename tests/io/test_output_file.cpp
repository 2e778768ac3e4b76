// Outputs that wait for their rename: many closed outputs (a table's
// regional figures wait for each other) hold none of their text, and each
// file is complete.
#include "io/output_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <string>
#include <vector>

TEST(OutputFile, ClosedOutputsHoldNoneOfTheirText)
{
    const std::string dir = makeTempDir();
    TemporaryFiles temps;
    const std::string text(64 * 1024, 'x'); // below the flush size: buffered until the close
    const size_t count = 400;
    std::vector<OutputFile> waiting;
    waiting.reserve(count);
    const size_t before = mallinfo2().uordblks;
    for (size_t k = 0; k < count; ++k) {
        OutputFile file(temps);
        ASSERT_TRUE(file.open(dir + "/f" + std::to_string(k) + ".svg"));
        file.write(text);
        ASSERT_TRUE(file.close());
        waiting.push_back(std::move(file));
    }
    const size_t held = mallinfo2().uordblks - before;
    EXPECT_LT(held, count * text.size() / 16) << held << " bytes held by " << count << " closed outputs";
    for (OutputFile& file : waiting)
        ASSERT_TRUE(file.commit());
    EXPECT_EQ(readFile(dir + "/f0.svg"), text);
    EXPECT_EQ(readFile(dir + "/f" + std::to_string(count - 1) + ".svg"), text);
}
