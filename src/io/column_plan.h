// Deciding which columns a run reads: the column options (numbers or header
// names), a -format preset for whatever they leave open, and the header
// line that names are looked up in.
#pragma once
#include "io/column_choice.h"
#include "io/format_presets.h"
#include "io/field_splitter.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the options asked for; an empty optional is an option not given.
struct ColumnRequest {
    std::optional<ColumnChoice> position;   // -lcolumn
    std::optional<ColumnChoice> pvalue;     // -pcolumn
    std::optional<ColumnChoice> chromosome; // -chrcolumn
    std::optional<ColumnChoice> id;         // -idcolumn
    std::optional<CarryRequest> carry;      // -carry
    const FormatPreset* preset = nullptr;   // -format
};

// The columns to read, 1-based.
struct ColumnPlan {
    int position = 0;
    int pvalue = 0;
    int chromosome = 0;
    int id = 0;              // 0: no id column
    bool pIsLog10 = false;   // the preset's p column holds -log10(p); an
                             // explicit -pcolumn leaves this to -log10p yes
    int filterColumn = 0;    // 0: every row counts
    std::string filterValue; // else only rows with this text there
    std::string missingPosition; // a position field with this text is missing ("" : none)
    // Columns the loci file carries (-carry, else the preset's where the
    // header has them) and their names for its header.
    std::vector<int> carried;
    std::vector<std::string> carriedNames;
    // Standard-error lines for names that matched several columns (the
    // leftmost is read).
    std::vector<std::string> warnings;
};

// Why the columns could not be decided: the option's usual message for
// standard output ("Incorrect lcolumn\n") and a line for standard error
// that says which name was missing and what the header holds.
struct ColumnError {
    std::string stdoutMessage;
    std::string stderrLine;
};

struct ColumnPlanResult {
    bool ok = false;
    ColumnPlan plan;   // when ok
    ColumnError error; // when not ok: the first failing option, in the order
                       // -lcolumn, -pcolumn, -chrcolumn, -idcolumn, -carry
};

// Explicit options win over the preset. Names need headerLine (the last
// header line; null without -header yes), split with sep. A column number
// below 1, a name not in the header, or a required column that neither an
// option nor the preset gives, is an error of that column's option.
ColumnPlanResult planColumns(const ColumnRequest& request, const std::string* headerLine,
                             const FieldSeparator& sep);

// For a run that stops for want of column options and -format: when
// firstLine looks like a known program's output, a standard-error line
// that suggests its -format; otherwise "".
std::string formatSuggestion(std::string_view firstLine);
