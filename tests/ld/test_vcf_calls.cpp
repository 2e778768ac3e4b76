// The packed genotypes of text VCF records whose calls are all three
// characters with GT alone (read four samples at a time) against the same
// calls read by the general path (FORMAT GT:X, each call followed by ":0"):
// thousands of records of 1 to 70 samples with phased, unphased, mixed,
// missing, half-missing, multi-allelic and malformed calls, and calls of
// other lengths that put the tabs out of place.
#include "ld/vcf_genotypes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

TEST(VcfCalls, PlainCallsPackAsTheGeneralPathPacksThem)
{
    static const char* const kCalls[] = {"0/0", "0/1", "1/0", "1/1", "0|0", "0|1", "1|0", "1|1", "./.", ".|.",
                                         "0/.", ".|1", "0/2", "2|1", "1\\1", "a/1", "1/b", "0-1", "11/"};
    constexpr size_t kKinds = sizeof kCalls / sizeof kCalls[0];
    std::mt19937_64 random(5);
    for (int record = 0; record < 5000; ++record) {
        const size_t samples = 1 + random() % 70;
        // Mostly valid calls of one separator, so that whole groups of four
        // take the fast path; now and then anything.
        const bool phased = random() % 2 == 0;
        std::string plain = "GT\t", general = "GT:X\t";
        for (size_t s = 0; s < samples; ++s) {
            std::string call = kCalls[random() % 4 + (phased ? 4 : 0)];
            if (random() % 25 == 0)
                call = kCalls[random() % kKinds];
            if (s + 1 < samples && random() % 200 == 0) { // two calls of 2 and 4 characters: tabs out of place
                plain += "01\t";
                general += "01:0\t";
                call = "0/11";
                ++s;
            }
            plain += call + (s + 1 < samples ? "\t" : "");
            general += call + ":0" + (s + 1 < samples ? "\t" : "");
        }
        std::vector<uint8_t> fast, slow;
        ASSERT_TRUE(packVcfText(plain.data(), plain.data() + plain.size(), samples, fast));
        ASSERT_TRUE(packVcfText(general.data(), general.data() + general.size(), samples, slow));
        ASSERT_EQ(fast, slow) << "record " << record << ": " << plain;
    }
}
