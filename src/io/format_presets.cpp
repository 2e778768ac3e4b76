// The preset table. Column names follow each program's documented output;
// where a program writes one of several p columns, all are listed in the
// order they are preferred. Blank-separated writers get the `whitespace`
// separator: their fields never hold blanks and are never empty (missing
// values are written as NA or similar), and it also reads copies whose
// blanks were turned into tabs. PLINK 1.9 pads its columns with runs of
// blanks, so only `whitespace` reads it.
//
// Choices where the programs write variants:
// - plink2: P, or LOG10_P (NEG_LOG10_P in some builds) with --glm log10.
//   TEST is filtered to ADD as for PLINK 1.9, since without hide-covar
//   every covariate gets its own row at the variant's position.
// - regenie: only LOG10P exists; TEST is not filtered, because interaction
//   runs write ADD-INT_* rows and no plain ADD row at all.
// - saige: p.value (with SPA for binary traits), not p.value.NA; the id is
//   MarkerID (version 1) or SNPID (earlier versions).
// - bolt: P_BOLT_LMM, the mixture-model test, when it was run, else
//   P_BOLT_LMM_INF (--lmmInfOnly, or when the program skipped the mixture).
// - gwas-ssf: p_value, or neg_log_10_p_value in its place; the id is
//   variant_id, else rsid. Mandatory fields are never missing, so the
//   default missing word stays.
// - gemma: p_wald (-lmm 1), else p_lrt (-lmm 2), else p_score (-lmm 3).
// - gwas-vcf: the names are those of the rows the GWAS-VCF source makes of
//   one study's records (gwas_vcf.h), LP being -log10(p).
// Carried columns (effect allele, other allele, effect, standard error,
// allele frequency) follow each program's names; PLINK 1.9 writes the other
// allele only in .assoc, SE only in .qassoc (or with --ci), and no general
// allele frequency. PLINK 2 names the non-A1 allele OMITTED (AX with
// cols=ax). SAIGE's effects refer to Allele2.
#include "io/format_presets.h"

#include "io/header_fields.h"

#include <algorithm>

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::vector<FormatPreset> presetTable()
{
    // name, written by, delimiter, header lines, position, chromosome,
    // p columns, id columns, row filter, signature, carried columns,
    // missing position
    return {
        {"plink", "PLINK 1.9 .assoc, .qassoc, .assoc.linear, .assoc.logistic", "whitespace", 1, "BP", "CHR",
         {{"P", false}}, {"SNP"}, {"TEST", "ADD"}, {"CHR", "SNP", "BP"},
         {{"A1"}, {"A2"}, {"BETA", "OR"}, {"SE"}, {}}},
        {"plink2", "PLINK 2 .glm.linear, .glm.logistic, .glm.firth", "tab", 1, "POS", "#CHROM",
         {{"P", false}, {"LOG10_P", true}, {"NEG_LOG10_P", true}}, {"ID"}, {"TEST", "ADD"}, {"#CHROM", "POS"},
         {{"A1"}, {"OMITTED", "AX"}, {"BETA", "OR"}, {"SE", "LOG(OR)_SE"}, {"A1_FREQ"}}},
        {"regenie", "REGENIE step 2 .regenie", "whitespace", 1, "GENPOS", "CHROM",
         {{"LOG10P", true}}, {"ID"}, {}, {"CHROM", "GENPOS", "ID", "ALLELE0", "ALLELE1"},
         {{"ALLELE1"}, {"ALLELE0"}, {"BETA"}, {"SE"}, {"A1FREQ"}}},
        {"saige", "SAIGE step 2 single-variant results", "whitespace", 1, "POS", "CHR",
         {{"p.value", false}}, {"MarkerID", "SNPID"}, {}, {"CHR", "POS", "Allele1", "Allele2"},
         {{"Allele2"}, {"Allele1"}, {"BETA"}, {"SE"}, {"AF_Allele2"}}},
        {"bolt", "BOLT-LMM --statsFile", "whitespace", 1, "BP", "CHR",
         {{"P_BOLT_LMM", false}, {"P_BOLT_LMM_INF", false}}, {"SNP"}, {}, {"SNP", "CHR", "BP", "GENPOS"},
         {{"ALLELE1"}, {"ALLELE0"}, {"BETA"}, {"SE"}, {"A1FREQ"}}},
        {"gwas-ssf", "GWAS-SSF and harmonised GWAS Catalog summary statistics", "tab", 1, "base_pair_location",
         "chromosome", {{"p_value", false}, {"neg_log_10_p_value", true}}, {"variant_id", "rsid"}, {},
         {"chromosome", "base_pair_location"},
         {{"effect_allele"}, {"other_allele"}, {"beta", "odds_ratio", "hazard_ratio"}, {"standard_error"},
          {"effect_allele_frequency"}}},
        {"gemma", "GEMMA .assoc.txt", "whitespace", 1, "ps", "chr",
         {{"p_wald", false}, {"p_lrt", false}, {"p_score", false}}, {"rs"}, {}, {"chr", "rs", "ps"},
         {{"allele1"}, {"allele0"}, {"beta"}, {"se"}, {"af"}}, "-9"},
        {"fastgwa", "GCTA fastGWA .fastGWA", "whitespace", 1, "POS", "CHR",
         {{"P", false}}, {"SNP"}, {}, {"CHR", "SNP", "POS", "AF1"},
         {{"A1"}, {"A2"}, {"BETA"}, {"SE"}, {"AF1"}}},
        {"gwas-vcf", "GWAS-VCF .vcf, .vcf.gz, .bcf (gwas2vcf, IEU OpenGWAS)", "tab", 1, "POS", "CHROM",
         {{"LP", true}}, {"ID"}, {}, {"CHROM", "POS", "ID", "LP", "ES", "SE"},
         {{"ALT"}, {"REF"}, {"ES"}, {"SE"}, {"AF"}}, nullptr, true},
    };
}

// Column of the first of the alternatives the header has, and its index.
template <typename Name, typename GetText>
int firstFound(const std::vector<std::string>& names, const Name (&alternatives)[kMaxAlternatives],
               GetText text, int& which)
{
    for (int i = 0; i < kMaxAlternatives && text(alternatives[i]); ++i) {
        const HeaderMatch match = findColumn(names, text(alternatives[i]));
        if (match.found()) {
            which = i;
            return match.column;
        }
    }
    return 0;
}

void noteMissing(PresetColumns& found, int column, const char* name, const char* option)
{
    if (column == 0 && found.missingName.empty()) {
        found.missingName = name;
        found.missingOption = option;
    }
}

// Signature names present exactly, in order.
bool hasSignature(const FormatPreset& preset, const std::vector<std::string>& names)
{
    auto at = names.begin();
    for (int i = 0; i < kMaxSignature && preset.signature[i]; ++i) {
        at = std::find(at, names.end(), preset.signature[i]);
        if (at == names.end())
            return false;
        ++at;
    }
    return true;
}

} // namespace

const std::vector<FormatPreset>& formatPresets()
{
    static const std::vector<FormatPreset> presets = presetTable();
    return presets;
}

const FormatPreset* findFormatPreset(std::string_view name)
{
    for (const FormatPreset& preset : formatPresets())
        if (equalsIgnoringCase(preset.name, name))
            return &preset;
    return nullptr;
}

std::string formatPresetNames()
{
    std::string out;
    for (const FormatPreset& preset : formatPresets())
        out += (out.empty() ? "" : ", ") + std::string(preset.name);
    return out;
}

FieldSeparator presetSeparator(const FormatPreset& preset) { return separatorForWord(preset.delimiter); }

PresetColumns resolvePreset(const FormatPreset& preset, const std::vector<std::string>& names)
{
    PresetColumns found;
    found.position = findColumn(names, preset.position).column;
    noteMissing(found, found.position, preset.position, "-lcolumn");
    int which = 0;
    found.pvalue = firstFound(names, preset.pvalues, [](const PColumnName& p) { return p.name; }, which);
    found.pIsLog10 = found.pvalue > 0 && preset.pvalues[which].log10;
    noteMissing(found, found.pvalue, preset.pvalues[0].name, "-pcolumn");
    found.chromosome = findColumn(names, preset.chromosome).column;
    noteMissing(found, found.chromosome, preset.chromosome, "-chrcolumn");
    found.id = firstFound(names, preset.ids, [](const char* id) { return id; }, which);
    for (const auto& role : preset.carried)
        if (const int column = firstFound(names, role, [](const char* name) { return name; }, which))
            found.carried.push_back(column);
    if (preset.filter.column) {
        found.filterColumn = findColumn(names, preset.filter.column).column;
        found.filterValue = found.filterColumn > 0 ? preset.filter.value : "";
    }
    return found;
}

const FormatPreset* detectFormat(std::string_view firstLine)
{
    for (const FormatPreset& preset : formatPresets()) {
        const std::vector<std::string> names = headerNames(firstLine, presetSeparator(preset));
        if (hasSignature(preset, names) && resolvePreset(preset, names).complete())
            return &preset;
    }
    return nullptr;
}
