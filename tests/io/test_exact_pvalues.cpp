// p-values below the doubles' normal range: the -log10 of a number's text,
// and what the reader keeps of such rows, held to an independent
// computation (the text read as a long double, whose range reaches far below
// a double's) on generated tables.
#include "io/number_parsing.h"
#include "io/table_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

namespace {

// -log10 of the text's value by the rules, through strtold: a zero is the
// smallest positive double; anything else its own value.
double referenceLog10(const std::string& text)
{
    const long double v = std::strtold(text.c_str(), nullptr);
    return v == 0 ? -std::log10(std::numeric_limits<double>::denorm_min()) : static_cast<double>(-std::log10(v));
}

bool close(double got, double want) { return std::fabs(got - want) <= 1e-9 * std::fabs(want); }

// A p-value text: mostly far below the normal range (exponents -300 to
// -1000, mantissas written every way), some ordinary, some zero.
std::string pText(std::mt19937& rng)
{
    auto uniform = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); };
    const int kind = uniform(0, 9);
    if (kind == 0)
        return std::vector<std::string>{"0", "0.0", "0e0", ".0", "0.000e-500"}[static_cast<size_t>(uniform(0, 4))];
    if (kind == 1)
        return std::vector<std::string>{"1e-5", "0.3", "2.2250738585072014e-308", "1e-307", "4.2e-9"}
            [static_cast<size_t>(uniform(0, 4))];
    std::string mantissa;
    const int whole = uniform(0, 3);
    mantissa += whole == 0 ? "0" : std::to_string(uniform(1, 999));
    if (uniform(0, 1)) {
        mantissa += '.';
        for (int k = uniform(0, 25); k > 0; --k)
            mantissa += static_cast<char>('0' + uniform(0, 9));
    }
    if (mantissa.find_first_of("123456789") == std::string::npos)
        mantissa += "7"; // never a zero
    return mantissa + (uniform(0, 1) ? "e" : "E") + std::to_string(uniform(-1000, -300));
}

} // namespace

TEST(ExactPValues, Log10OfTextCases)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        double log10p;
    } cases[] = {{"1e-400", 400},
                 {"5E-350", 350 - std::log10(5.0)},
                 {" +1e-320\t", 320},
                 {"-1e-400", 400}, // the sign is not the reader's concern here
                 {"100e-402", 400},
                 {".001e-397", 400},
                 {"0.0001e-400", 404},
                 {"2.2e-308", 308 - std::log10(2.2)},
                 {"12345678901234567890123e-420", 420 - 22 - std::log10(1.2345678901234567890123)},
                 {"1.e-5", 5},
                 {"3", -std::log10(3.0)},
                 {"0", inf},
                 {".0", inf},
                 {"0e-400", inf}};
    for (const auto& c : cases) {
        const double got = minusLog10OfText(c.text, std::strlen(c.text));
        if (std::isinf(c.log10p))
            EXPECT_EQ(got, c.log10p) << c.text;
        else
            EXPECT_TRUE(close(got, c.log10p)) << c.text << ": " << got << " vs " << c.log10p;
    }
    const std::string huge = "1e-" + std::string(40, '9'); // its exponent saturates rather than overflow
    EXPECT_GE(minusLog10OfText(huge.data(), huge.size()), 1e12);
}

// Every place the reader keeps a value: the batches the scan gets, the
// markers the coverage check gets, the loci candidates and the rows the
// figures get. Rows below the normal range carry the -log10 of their text
// (within 1e-9 relative of the long double's); all others what they carried
// before (p as read, or exactly negativeLog10(p) in a run turned into
// -log10 values); a zero is the smallest positive double.
TEST(ExactPValues, GeneratedTablesAgreeWithTheText)
{
    if (std::numeric_limits<long double>::min_exponent10 > -1000)
        GTEST_SKIP() << "long double does not reach 1e-1000 here";
    std::mt19937 rng(31);
    const std::string path = makeTempDir() + "/t.tsv";
    struct Collect : RowObserver {
        std::vector<double> values;
        std::vector<int> exactRows; // index into values
        std::vector<double> exactValues;
        void chromosome(std::string_view) override {}
        void rows(ObservedRows& r) override
        {
            for (const ObservedRows::Exact& e : r.exact) {
                exactRows.push_back(static_cast<int>(values.size() + e.row));
                exactValues.push_back(e.log10p);
            }
            values.insert(values.end(), r.values.begin(), r.values.end());
        }
    };
    for (int t = 0; t < 300; ++t) {
        std::vector<std::string> texts;
        std::string table;
        const int chromosomes = 1 + t % 3;
        for (int c = 1; c <= chromosomes; ++c)
            for (int r = std::uniform_int_distribution<int>(0, 40)(rng); r > 0; --r) {
                texts.push_back(pText(rng));
                table += std::to_string(c) + "\t" + std::to_string(1000 * texts.size()) + "\t" + texts.back() + "\n";
            }
        writeFile(path, table);
        TableLayout layout;
        layout.separator = separatorForWord("tab");
        layout.chromosomeColumn = 1, layout.positionColumn = 2, layout.pvalueColumn = 3;
        TableReading notes;
        std::vector<double> batchValues;
        Collect seen;
        ASSERT_TRUE(readTable(
            openInput(path), layout, 1.0,
            [&](ChromosomeBatch& b) {
                for (double v : b.pvalues)
                    batchValues.push_back(b.valuesAreLog10 ? v : negativeLog10(v));
            },
            notes, &seen));
        ASSERT_EQ(batchValues.size(), texts.size());
        ASSERT_EQ(seen.values.size(), texts.size());
        ASSERT_EQ(notes.candidates.candidates.size(), notes.significant.markers.size());
        size_t candidate = 0, exact = 0;
        long long zeros = 0;
        for (size_t i = 0; i < texts.size(); ++i) {
            SCOPED_TRACE("table " + std::to_string(t) + ", row " + std::to_string(i) + ": " + texts[i]);
            const double read = toDouble(texts[i]);
            const bool below = read < kSmallestNormal;
            zeros += read == 0;
            const double want = below ? referenceLog10(texts[i]) : -std::log10(read);
            EXPECT_TRUE(below ? close(batchValues[i], want) : batchValues[i] == want) << batchValues[i];
            EXPECT_EQ(seen.values[i], read == 0 ? std::numeric_limits<double>::denorm_min() : read);
            if (below && read > 0) {
                ASSERT_LT(exact, seen.exactRows.size());
                EXPECT_EQ(seen.exactRows[exact], static_cast<int>(i));
                EXPECT_TRUE(close(seen.exactValues[exact++], want));
            }
            if (read > kGenomeWideSignificance)
                continue;
            ASSERT_LT(candidate, notes.candidates.candidates.size());
            const double strength = notes.candidates.strength(candidate);
            const double marker = notes.significant.log10p(notes.significant.markers[candidate++]);
            EXPECT_TRUE(below ? close(strength, want) : strength == want) << strength;
            EXPECT_EQ(marker, strength);
        }
        EXPECT_EQ(exact, seen.exactRows.size());
        EXPECT_EQ(candidate, notes.candidates.candidates.size());
        EXPECT_EQ(notes.zeroPvalues, zeros);
    }
}
