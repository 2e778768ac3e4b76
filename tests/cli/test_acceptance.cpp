// Reports for real published tables, compared byte for byte with reference
// reports written independently from the same rules. Skipped where the shared
// data folders are absent.
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {
const std::map<std::string, std::string> kTables = {
    {"topr-uc", "topr_UC_UKBB_p1e-3.tsv"},
    {"topr-cd-finngen", "topr_CD_FINNGEN_p1e-3.tsv"},
    {"t1d-immunochip", "fcfdr_T1D_ImmunoChip_OnengutGumuscu2015.tsv"},
    {"scz-gz", "tidyGWAS_PGC3_SCZ_100k_sorted.tsv.gz"},
    {"il6", "geniplots_IL6_GCST90274815_p1e-3.tsv"},
    {"gwascat-ungrouped", "gwascat_NHGRI_catalog_2014-09-08_ORIGINALORDER.tsv"},
    {"bodyfat", "gapdatasets_mhtdata_bodyfat.tsv"},
    {"lrrk2-unsorted", "echodata_PD_locus_LRRK2.tsv"},
};

std::vector<std::string> splitWords(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

// The reference output masks the contact line (the clock lines are masked
// by runQuorlin).
std::string maskInfo(std::string out)
{
    const size_t at = out.find("Info: ");
    if (at != std::string::npos)
        out.replace(at, out.find('\n', at) - at, "Info:  ...");
    return out;
}
} // namespace

class Acceptance : public ::testing::TestWithParam<std::string> {};

TEST_P(Acceptance, ReportMatchesReference)
{
    const fs::path ref = fs::path(QUORLIN_SHARED) / "acceptance" / GetParam();
    const fs::path table = fs::path(QUORLIN_SHARED) / "data" / "real" / kTables.at(GetParam());
    QUORLIN_NEEDS_REAL_DATA();
    ASSERT_TRUE(fs::exists(ref)) << "reference missing: " << ref;
    ASSERT_TRUE(fs::exists(table)) << "real table missing: " << table;
    const std::vector<std::string> args = splitWords(readFile((ref / "args.txt").string()));
    ASSERT_GE(args.size(), 2u);
    const std::string work = makeTempDir();
    fs::copy_file(table, fs::path(work) / args[1]);
    const RunResult r = runQuorlin(args, work);
    ASSERT_EQ(r.status, 0) << r.command;
    EXPECT_EQ(firstDifference(readFile((ref / "report.tsv").string()), readFile(work + "/" + args[1] + ".out")), "")
        << r.command;
    EXPECT_EQ(firstDifference(readFile((ref / "stdout.txt").string()), maskInfo(r.out)), "") << r.command;
}

INSTANTIATE_TEST_SUITE_P(RealTables, Acceptance,
                         ::testing::Values("topr-uc", "topr-cd-finngen", "t1d-immunochip", "scz-gz", "il6",
                                           "gwascat-ungrouped", "bodyfat", "lrrk2-unsorted"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '-')
                                     c = '_';
                             return name;
                         });
