// Column decisions: numbers and names from the options, presets filling in
// the rest, explicit options winning, and the message of the first failing
// option with its standard-error reason.
#include "io/column_plan.h"

#include <gtest/gtest.h>

namespace {

std::optional<ColumnChoice> opt(const char* value)
{
    if (!value)
        return std::nullopt;
    return parseColumnChoice(value);
}

ColumnRequest request(const char* l, const char* p, const char* chr, const char* id = nullptr,
                      const char* format = nullptr)
{
    ColumnRequest r;
    r.position = opt(l);
    r.pvalue = opt(p);
    r.chromosome = opt(chr);
    r.id = opt(id);
    r.preset = format ? findFormatPreset(format) : nullptr;
    return r;
}

const std::string kPlinkHeader = " CHR  SNP  BP  A1  TEST  NMISS  BETA  STAT  P ";
const std::string kRegenieHeader = "CHROM GENPOS ID ALLELE0 ALLELE1 A1FREQ N TEST BETA SE CHISQ LOG10P";

} // namespace

TEST(PlanColumns, ChosenColumns)
{
    const FieldSeparator ws = separatorForWord("whitespace");
    const struct {
        ColumnRequest request;
        const std::string* header;
        int position, pvalue, chromosome, id;
        bool log10;
        int filterColumn;
    } cases[] = {
        {request("2", "3", "1"), nullptr, 2, 3, 1, 0, false, 0},
        {request("BP", "p", "chr", "SNP"), &kPlinkHeader, 3, 9, 1, 2, false, 0},
        {request("7", nullptr, nullptr, "4", "plink"), &kPlinkHeader, 7, 9, 1, 4, false, 5},
        {request(nullptr, "BETA", nullptr, nullptr, "regenie"), &kRegenieHeader, 2, 9, 1, 3, false, 0},
    };
    for (const auto& c : cases) {
        const ColumnPlanResult r = planColumns(c.request, c.header, ws);
        ASSERT_TRUE(r.ok) << r.error.stderrLine;
        const ColumnPlan& p = r.plan;
        EXPECT_EQ(std::vector<int>({p.position, p.pvalue, p.chromosome, p.id, p.filterColumn}),
                  std::vector<int>({c.position, c.pvalue, c.chromosome, c.id, c.filterColumn}));
        EXPECT_EQ(p.pIsLog10, c.log10);
        EXPECT_EQ(r.plan.filterValue, c.filterColumn ? "ADD" : "");
    }
}

TEST(PlanColumns, FirstFailingOptionWithItsReason)
{
    const FieldSeparator ws = separatorForWord("whitespace");
    const std::string noBP = "CHR SNP POS P";
    const struct {
        ColumnRequest request;
        const std::string* header;
        const char* message;
        const char* reason;
    } cases[] = {
        {request(nullptr, "3", "1"), nullptr, "Incorrect lcolumn\n", ""},
        {request("0", "x", "1"), nullptr, "Incorrect lcolumn\n", ""},
        {request("2", "-4", "1"), nullptr, "Incorrect pcolumn\n", ""},
        {request("2", "P", "1"), nullptr, "Incorrect pcolumn\n", "-pcolumn \"P\": column names need -header yes"},
        {request("BP", "P", "CHR"), &noBP, "Incorrect lcolumn\n",
         "-lcolumn: no column \"BP\" in the header; its columns are \"CHR\" \"SNP\" \"POS\" \"P\""},
        {request("POS", "P", "chromosome"), &noBP, "Incorrect chrcolumn\n",
         "-chrcolumn: no column \"chromosome\" in the header; its columns are \"CHR\" \"SNP\" \"POS\" \"P\""},
        {request("2", "3", "1", "rsid"), &noBP, "Incorrect idcolumn\n",
         "-idcolumn: no column \"rsid\" in the header; its columns are \"CHR\" \"SNP\" \"POS\" \"P\""},
        {request("2", "3", "1", "0"), &noBP, "Incorrect idcolumn\n", ""},
        {request(nullptr, nullptr, nullptr, nullptr, "plink"), &noBP, "Incorrect lcolumn\n",
         "-format plink (for -lcolumn): no column \"BP\" in the header; its columns are \"CHR\" \"SNP\" \"POS\" \"P\""},
        {request("3", nullptr, "1", nullptr, "gwas-ssf"), &noBP, "Incorrect pcolumn\n",
         "-format gwas-ssf (for -pcolumn): no column \"p_value\" or \"neg_log_10_p_value\" in the header; its "
         "columns are \"CHR\" \"SNP\" \"POS\" \"P\""},
        {request(nullptr, nullptr, nullptr, nullptr, "plink"), nullptr, "Incorrect lcolumn\n",
         "-format plink (for -lcolumn): the preset needs the header line"},
    };
    for (const auto& c : cases) {
        const ColumnPlanResult r = planColumns(c.request, c.header, ws);
        ASSERT_FALSE(r.ok);
        EXPECT_EQ(r.error.stdoutMessage, c.message);
        EXPECT_EQ(r.error.stderrLine, c.reason);
    }
}

TEST(PlanColumns, PresetIdIsOptionalAndDuplicateNamesWarn)
{
    const FieldSeparator tab = separatorForWord("tab");
    const std::string header = "chr\trs\tps\tp_lrt\tP_LRT", noId = "chr\tps\tp_wald";
    const ColumnRequest gemma = request(nullptr, nullptr, nullptr, nullptr, "gemma");
    ColumnPlanResult r = planColumns(gemma, &header, tab);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.plan.pvalue, 4); // p_wald absent: the next documented p column
    EXPECT_TRUE(r.plan.warnings.empty());
    r = planColumns(gemma, &noId, tab);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.plan.id, 0);
    r = planColumns(request("2", "p_lrt", "1"), &header, tab);
    EXPECT_TRUE(r.ok && r.plan.warnings.empty()); // the exact match decides alone
    r = planColumns(request("2", "P_lrt", "1"), &header, tab);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.plan.pvalue, 4);
    EXPECT_EQ(r.plan.warnings, std::vector<std::string>{"-pcolumn \"P_lrt\": several columns match; column 4 is read"});
}

// Carried columns: the preset's where the header has them, -carry replacing
// them (names or numbers, `none`), names from the header or colN, and the
// carry option's own error.
TEST(PlanColumns, CarriedColumns)
{
    const FieldSeparator ws = separatorForWord("whitespace");
    const FieldSeparator tab = separatorForWord("tab");
    const std::string plain = "chr\tpos\tp\tse";
    const struct {
        const char* carry;  // -carry value, null when not given
        const char* format; // -format, or null
        const std::string* header;
        std::vector<int> carried;
        std::vector<std::string> names;
        bool ok;
    } cases[] = {
        {nullptr, "regenie", &kRegenieHeader, {5, 4, 9, 10, 6}, {"ALLELE1", "ALLELE0", "BETA", "SE", "A1FREQ"}, true},
        {nullptr, "plink", &kPlinkHeader, {4, 7}, {"A1", "BETA"}, true}, // no A2, SE or frequency there
        {"none", "regenie", &kRegenieHeader, {}, {}, true},
        {"SE, 2,12", "regenie", &kRegenieHeader, {10, 2, 12}, {"SE", "GENPOS", "LOG10P"}, true},
        {"4,9", nullptr, &plain, {4, 9}, {"se", "col9"}, true},
        {"se,,p", nullptr, &plain, {}, {}, false},
        {"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17", nullptr, &plain, {}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.carry ? c.carry : "(preset)");
        ColumnRequest r = c.format ? request(nullptr, nullptr, nullptr, nullptr, c.format) : request("2", "3", "1");
        if (c.carry)
            r.carry = parseCarryRequest(c.carry);
        const ColumnPlanResult result = planColumns(r, c.header, c.format ? ws : tab);
        ASSERT_EQ(result.ok, c.ok) << result.error.stderrLine;
        if (!c.ok) {
            EXPECT_EQ(result.error.stdoutMessage, "Incorrect carry\n");
            continue;
        }
        EXPECT_EQ(result.plan.carried, c.carried);
        EXPECT_EQ(result.plan.carriedNames, c.names);
    }
}
