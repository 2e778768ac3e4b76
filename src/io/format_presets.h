// Named presets for the association tables that common GWAS programs write:
// what -format NAME fills in (separator, header, column names, the scale of
// the p column, a row filter), and recognising such a table by its header.
#pragma once
#include "io/field_splitter.h"

#include <string>
#include <string_view>
#include <vector>

constexpr int kMaxAlternatives = 3;
constexpr int kMaxSignature = 6;
// Columns a loci file carries by default: effect allele, other allele,
// effect (beta or odds ratio), standard error, allele frequency.
constexpr int kCarriedRoles = 5;

// A p-value column name a preset may use.
struct PColumnName {
    const char* name = nullptr;
    bool log10 = false; // the column holds -log10(p) rather than p
};

// When the header has `column`, only rows whose field there is exactly
// `value` count (PLINK writes covariate and other test rows beside ADD).
struct RowFilter {
    const char* column = nullptr; // no filter when null
    const char* value = nullptr;
};

struct FormatPreset {
    const char* name;        // the -format word
    const char* writtenBy;   // the program and files, for help and messages
    const char* delimiter;   // a -delim word
    int headerLines;         // -header yes with this -header-size
    const char* position;    // column names, looked up like -lcolumn NAME
    const char* chromosome;
    PColumnName pvalues[kMaxAlternatives]; // the first one in the header wins
    const char* ids[kMaxAlternatives];     // optional; the first one found
    RowFilter filter;
    // Names the program always writes, in this order (other columns may lie
    // between them); a header with all of them, matched exactly, is taken
    // for this program's output.
    const char* signature[kMaxSignature];
    // Per carried role, its names in the order preferred (the first the
    // header has is carried; none when the header has none of them).
    const char* carried[kCarriedRoles][kMaxAlternatives];
    const char* missingPosition = nullptr; // the program's word for an unknown position
    bool vcf = false; // a GWAS-VCF file, read through htslib as the rows of one study
};

// Every preset, in the order they are listed and tried when recognising.
const std::vector<FormatPreset>& formatPresets();

// The preset called name (letter case ignored), or null.
const FormatPreset* findFormatPreset(std::string_view name);

// "plink, plink2, ..." for messages and help.
std::string formatPresetNames();

// The separator the preset's delimiter word stands for.
FieldSeparator presetSeparator(const FormatPreset& preset);

// A preset's columns found in a header (numbers are 1-based).
struct PresetColumns {
    int position = 0;
    int pvalue = 0;
    int chromosome = 0;
    int id = 0;              // 0: the header has none of the id names
    bool pIsLog10 = false;   // from the p name that was found
    int filterColumn = 0;    // 0: no row filter applies
    std::string filterValue; // rows count only with this text there
    std::vector<int> carried; // the carried roles' columns the header has, in role order
    // The first of position, p-value, chromosome whose name is not in the
    // header ("" when all were found), and the option that stands for it.
    std::string missingName;
    const char* missingOption = nullptr;
    bool complete() const { return missingName.empty(); }
};

// Finds the preset's columns among the header's names (see findColumn).
PresetColumns resolvePreset(const FormatPreset& preset, const std::vector<std::string>& names);

// The preset whose program wrote a table with this first line, or null: its
// signature names appear exactly and in order when the line is split with
// the preset's separator, and its columns are all there.
const FormatPreset* detectFormat(std::string_view firstLine);
