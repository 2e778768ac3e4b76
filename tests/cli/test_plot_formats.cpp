// The figure options on the command line: a -plot name whose extension
// names no figure format and bad -plot-format or -plot-ybreak words stop
// the run before any output, each with its message; -plot-format chooses
// the format of -plot yes and of a list's figures.
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char kTable[] = "1\t100\t1e-9\n1\t200\t0.5\n2\t300\t1e-12\n2\t400\t0.2\n";

std::vector<std::string> cols(std::vector<std::string> words)
{
    words.insert(words.end(), {"-chrcolumn", "1", "-lcolumn", "2", "-pcolumn", "3"});
    return words;
}

std::string head(const std::string& path, size_t n)
{
    return fileExists(path) ? readFile(path).substr(0, n) : std::string();
}

} // namespace

TEST(PlotFormats, BadWordsStopBeforeAnyOutput)
{
    const auto none = [](const std::string&) {};
    const char* const ends = "must end in .svg, .png or .pdf";
    const char* const formats = "must be svg, png or pdf";
    const char* const breaks = "must be auto, no or";
    expectRefused({
        {"jpg", none, cols({"-file", "t.tsv", "-plot", "x.jpg"}), "Incorrect plot\n", ends},
        {"svg.gz", none, cols({"-file", "t.tsv", "-plot", "x.svg.gz"}), "Incorrect plot\n", ends},
        {"gif", none, cols({"-file", "t.tsv", "-plot", "yes", "-plot-format", "gif"}), "Incorrect plot_format\n", formats},
        {"empty", none, cols({"-file", "t.tsv", "-plot", "yes", "-plot-format", ""}), "Incorrect plot_format\n", formats},
        {"high", none, cols({"-file", "t.tsv", "-plot", "x.svg", "-plot-ybreak", "high"}), "Incorrect plot_ybreak\n", breaks},
        {"-5", none, cols({"-file", "t.tsv", "-plot", "x.svg", "-plot-ybreak", "-5"}), "Incorrect plot_ybreak\n", breaks},
        {"0", none, cols({"-file", "t.tsv", "-plot", "x.svg", "-plot-ybreak", "0"}), "Incorrect plot_ybreak\n", breaks},
        {"inf", none, cols({"-file", "t.tsv", "-plot", "x.svg", "-plot-ybreak", "inf"}), "Incorrect plot_ybreak\n", breaks},
    }, kTable);
}

// A name without an extension keeps SVG; upper-case extensions are formats.
TEST(PlotFormats, ExtensionsAndPlotFormatChooseTheFormat)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", kTable);
    for (const auto& [args, file, magic] : std::vector<std::tuple<std::vector<std::string>, std::string, std::string>>{
             {{"-plot", "figure"}, "figure", "<?xml"},
             {{"-plot", "F.PNG"}, "F.PNG", "\x89PNG"},
             {{"-plot", "yes", "-plot-format", "png"}, "t.tsv.png", "\x89PNG"},
             {{"-plot", "yes", "-plot-format", "PDF"}, "t.tsv.pdf", "%PDF"},
             {{"-plot", "g.svg", "-plot-format", "pdf", "-plot-ybreak", "12"}, "g.svg", "<?xml"},
         }) {
        std::vector<std::string> all = {"-file", "t.tsv"};
        all.insert(all.end(), args.begin(), args.end());
        const RunResult r = runQuorlin(cols(all), dir);
        EXPECT_EQ(r.status, 0) << r.command << r.out << r.err;
        EXPECT_EQ(head(dir + "/" + file, magic.size()), magic) << r.command;
    }
}

// In list mode -plot yes writes each table's figure in the -plot-format,
// and the regional figures follow it.
TEST(PlotFormats, ListModeFiguresInTheChosenFormat)
{
    const std::string dir = makeTempDir();
    writeFile(dir + "/t.tsv", kTable);
    writeFile(dir + "/u.tsv", kTable);
    writeFile(dir + "/l.txt", "t.tsv\nu.tsv\n");
    const RunResult r =
        runQuorlin(cols({"-list", "l.txt", "-plot", "yes", "-plot-format", "png", "-loci", "yes", "-regional", "yes"}), dir);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (const char* table : {"t.tsv", "u.tsv"}) {
        EXPECT_EQ(head(dir + "/" + table + ".png", 4), "\x89PNG") << table;
        EXPECT_FALSE(fileExists(dir + "/" + table + ".svg")) << table;
        // The regional figures take the same format.
        size_t figures = 0;
        for (const auto& e : fs::directory_iterator(dir + "/" + table + ".regional")) {
            EXPECT_EQ(e.path().extension(), ".png") << e.path();
            ++figures;
        }
        EXPECT_EQ(figures, 2u) << table;
    }
    const RunResult bad = runQuorlin(cols({"-list", "l.txt", "-plot", "yes", "-plot-format", "jpg"}), dir);
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("Incorrect plot_format\n"), std::string::npos) << bad.out;
}
