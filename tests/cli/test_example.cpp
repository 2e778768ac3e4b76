// The example table shipped for the quick start: its report must show the
// strong peaks the table has (the generator placed tall peaks on chromosomes
// 2, 4, 6 and 21; chromosome 15 is one plateau from its first marker on,
// with no background to stand out from, and gives no row).
#include "test_support.h"

#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>


TEST(ExampleTable, PeaksWhereTheTableHasThem)
{
    const std::string table = std::string(QUORLIN_EXAMPLES) + "/example.tsv";
    // Strongest marker of every chromosome.
    std::map<std::string, std::pair<long, double>> strongest;
    std::istringstream rows(readFile(table));
    std::string line;
    std::getline(rows, line);
    while (std::getline(rows, line)) {
        const auto f = tabFields(line);
        const double v = -std::log10(std::stod(f[7]));
        auto& s = strongest[f[0]];
        if (v > s.second)
            s = {std::stol(f[1]), v};
    }
    const std::string dir = makeTempDir();
    const RunResult r = runQuorlin({"-file", table, "-out", dir + "/r.tsv", "-lcolumn", "2", "-pcolumn", "8",
                                    "-chrcolumn", "1", "-header", "yes"},
                                   dir);
    ASSERT_EQ(r.status, 0) << r.command;
    std::istringstream report(readFile(dir + "/r.tsv"));
    std::getline(report, line);
    std::map<std::string, int> covered;
    int peaks = 0;
    while (std::getline(report, line)) {
        const auto f = tabFields(line);
        ASSERT_EQ(f.size(), 20u) << line;
        ++peaks;
        EXPECT_GE(std::stod(f[3]), 5.0) << line;
        EXPECT_GE(std::stoi(f[12]), 1) << line;
        const long from = std::stol(f[2].substr(0, f[2].find('-')));
        const long to = std::stol(f[2].substr(f[2].find('-') + 1));
        const auto& s = strongest[f[1]];
        if (from <= s.first && s.first <= to && std::fabs(std::stod(f[3]) - s.second) < 1e-4 * s.second)
            ++covered[f[1]];
    }
    EXPECT_GE(peaks, 5);
    for (const char* chr : {"2", "4", "6", "21"})
        EXPECT_EQ(covered[chr], 1) << "chromosome " << chr << " summit at " << strongest[chr].first;
}

// The figure shown in the README is the one the binary draws today: same
// bytes, well-formed XML, one band or tick per report row.
TEST(ExampleTable, CommittedFigureIsCurrent)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/example.tsv", readFile(std::string(QUORLIN_EXAMPLES) + "/example.tsv"));
    const RunResult r = runQuorlin({"-file", "example.tsv", "-out", "example.out", "-lcolumn", "2", "-pcolumn", "8",
                                    "-chrcolumn", "1", "-idcolumn", "3", "-header", "yes", "-plot", "example.svg"},
                                   dir);
    ASSERT_EQ(r.status, 0) << r.command << "\n" << r.err;
    const std::string svg = readFile(dir + "/example.svg");
    EXPECT_EQ(firstDifference(readFile(std::string(QUORLIN_EXAMPLES) + "/example.svg"), svg), "")
        << "regenerate examples/example.svg with: " << r.command;
    QXmlStreamReader xml(QByteArray::fromStdString(svg));
    int bands = 0;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            (xml.attributes().value("class") == u"peak-band" || xml.attributes().value("class") == u"peak-tick"))
            ++bands;
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    const std::string report = readFile(dir + "/example.out");
    EXPECT_EQ(bands, std::count(report.begin(), report.end(), '\n') - 1);
}
