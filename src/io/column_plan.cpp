// Column decisions in the order the options have always been checked:
// position, p-value, chromosome, then the optional id and carried columns.
#include "io/column_plan.h"

#include "io/header_fields.h"

#include <algorithm>

namespace {

enum class Kind { Position, PValue, Chromosome, Id, Carry };

struct Role {
    Kind kind;
    const char* option; // "-lcolumn"
    const char* word;   // "lcolumn", as in "Incorrect lcolumn"
};

constexpr Role kPosition{Kind::Position, "-lcolumn", "lcolumn"};
constexpr Role kPValue{Kind::PValue, "-pcolumn", "pcolumn"};
constexpr Role kChromosome{Kind::Chromosome, "-chrcolumn", "chrcolumn"};
constexpr Role kId{Kind::Id, "-idcolumn", "idcolumn"};
constexpr Role kCarry{Kind::Carry, "-carry", "carry"};

// A column, or 0 with the reason for standard error ("" when the option's
// own message says it all, as for a number below 1).
struct Pick {
    int column = 0;
    std::string reason;
};

struct Context {
    const std::optional<std::vector<std::string>>& names; // null without a header
    const FormatPreset* preset;
    const PresetColumns& found;
    ColumnPlan& plan;
};

std::string quoted(const std::string& name) { return listNames({name}); }

Pick pickByName(const Role& role, const std::string& name, Context& c)
{
    if (!c.names)
        return {0, std::string(role.option) + " " + quoted(name) + ": column names need -header yes"};
    const HeaderMatch match = findColumn(*c.names, name);
    if (!match.found())
        return {0, missingColumnMessage(role.option, {name}, *c.names)};
    if (match.ambiguous)
        c.plan.warnings.push_back(std::string(role.option) + " " + quoted(name) + ": several columns match; column " +
                                  std::to_string(match.column) + " is read");
    return {match.column, ""};
}

Pick pickExplicit(const Role& role, const ColumnChoice& choice, Context& c)
{
    if (choice.byName)
        return pickByName(role, choice.name, c);
    return {choice.number >= 1 ? choice.number : 0, ""};
}

// The names the preset looks for in a required column's place.
std::vector<std::string> presetNamesFor(const Role& role, const FormatPreset& preset)
{
    if (role.kind == Kind::Position)
        return {preset.position};
    if (role.kind == Kind::Chromosome)
        return {preset.chromosome};
    std::vector<std::string> names;
    for (const PColumnName& p : preset.pvalues)
        if (p.name)
            names.emplace_back(p.name);
    return names;
}

Pick pickFromPreset(const Role& role, int column, Context& c)
{
    const std::string who = std::string("-format ") + c.preset->name + " (for " + role.option + ")";
    if (!c.names)
        return {0, who + ": the preset needs the header line"};
    if (column == 0)
        return {0, missingColumnMessage(who, presetNamesFor(role, *c.preset), *c.names)};
    return {column, ""};
}

Pick pickRequired(const Role& role, const std::optional<ColumnChoice>& choice, int presetColumn, Context& c)
{
    if (choice)
        return pickExplicit(role, *choice, c);
    if (c.preset)
        return pickFromPreset(role, presetColumn, c);
    return {};
}

ColumnPlanResult failure(const Role& role, const std::string& reason)
{
    ColumnPlanResult result;
    result.error.stdoutMessage = std::string("Incorrect ") + role.word + "\n";
    result.error.stderrLine = reason;
    return result;
}

void applyPresetExtras(const ColumnRequest& request, Context& c)
{
    if (!c.preset)
        return;
    c.plan.pIsLog10 = !request.pvalue && c.found.pIsLog10;
    c.plan.filterColumn = c.found.filterColumn;
    c.plan.filterValue = c.found.filterValue;
    if (!request.id)
        c.plan.id = c.found.id;
    if (c.preset->missingPosition && !request.position)
        c.plan.missingPosition = c.preset->missingPosition;
    if (!request.carry)
        c.plan.carried = c.found.carried;
}

std::vector<std::string> namesFor(const std::vector<int>& columns, const std::vector<std::string>* names)
{
    std::vector<std::string> out;
    for (int column : columns) {
        const bool named = names && column >= 1 && static_cast<size_t>(column) <= names->size() &&
                           !(*names)[static_cast<size_t>(column) - 1].empty();
        out.push_back(named ? (*names)[static_cast<size_t>(column) - 1] : "col" + std::to_string(column));
    }
    return out;
}

size_t distinctCount(std::vector<int> columns)
{
    std::sort(columns.begin(), columns.end());
    return static_cast<size_t>(std::unique(columns.begin(), columns.end()) - columns.begin());
}

} // namespace

ColumnPlanResult planColumns(const ColumnRequest& request, const std::string* headerLine, const FieldSeparator& sep)
{
    std::optional<std::vector<std::string>> names;
    if (headerLine)
        names = headerNames(*headerLine, sep);
    const PresetColumns found = (request.preset && names) ? resolvePreset(*request.preset, *names) : PresetColumns{};
    ColumnPlanResult result;
    Context c{names, request.preset, found, result.plan};
    const struct {
        const Role& role;
        const std::optional<ColumnChoice>& choice;
        int presetColumn;
        int& column;
    } required[] = {
        {kPosition, request.position, found.position, result.plan.position},
        {kPValue, request.pvalue, found.pvalue, result.plan.pvalue},
        {kChromosome, request.chromosome, found.chromosome, result.plan.chromosome},
    };
    for (const auto& r : required) {
        const Pick pick = pickRequired(r.role, r.choice, r.presetColumn, c);
        if (pick.column == 0)
            return failure(r.role, pick.reason);
        r.column = pick.column;
    }
    applyPresetExtras(request, c);
    if (request.id) {
        const Pick pick = pickExplicit(kId, *request.id, c);
        if (pick.column == 0)
            return failure(kId, pick.reason);
        result.plan.id = pick.column;
    }
    if (request.carry && !request.carry->none) {
        result.plan.carried.clear();
        for (const ColumnChoice& choice : request.carry->columns) {
            const Pick pick = pickExplicit(kCarry, choice, c);
            if (pick.column == 0)
                return failure(kCarry, !pick.reason.empty() ? pick.reason
                                                            : "-carry " + quoted(choice.text) +
                                                                  ": each carried column is a column number from 1 "
                                                                  "or a header name, separated by commas");
            result.plan.carried.push_back(pick.column);
        }
        if (distinctCount(result.plan.carried) > static_cast<size_t>(kMaxCarried))
            return failure(kCarry, "-carry: at most " + std::to_string(kMaxCarried) + " different columns");
    }
    result.plan.carriedNames = namesFor(result.plan.carried, names ? &*names : nullptr);
    result.ok = true;
    return result;
}

std::string formatSuggestion(std::string_view firstLine)
{
    const FormatPreset* preset = detectFormat(firstLine);
    if (!preset || preset->vcf) // a VCF file is known by its name, not its first line
        return "";
    return std::string("the first line looks like ") + preset->writtenBy + ": try -format " + preset->name;
}
