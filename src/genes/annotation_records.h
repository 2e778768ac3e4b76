// The fields of one annotation line: splitting, whole numbers, the GTF and
// GFF3 attribute columns, and the gene name as it may appear in the report.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Splits line at tabs; without any tab, at runs of blanks (BED written with
// spaces). At most max fields: the last one keeps the rest of the line.
void splitFields(std::string_view line, std::vector<std::string_view>& out, size_t max = SIZE_MAX);
// Splits at every tab, at most max fields as above.
void splitTabs(std::string_view line, std::vector<std::string_view>& out, size_t max = SIZE_MAX);

// A whole number of digits only (no sign, no blanks), below 2^62; false else.
bool parseCoordinate(std::string_view text, int64_t& value);

// The name and type found in an attribute column; empty when absent.
struct GeneAttributes {
    std::string name;
    std::string type;
    bool hasType = false;
};

// GTF: key "value"; pairs. The name is gene_name, else gene_id; the type is
// gene_type or gene_biotype.
GeneAttributes gtfAttributes(std::string_view column);
// GFF3: key=value pairs separated by ';', values percent-encoded. The name is
// Name, else ID; the type is gene_type, gene_biotype or biotype.
GeneAttributes gff3Attributes(std::string_view column);

// A name safe to write into a tab-separated column holding a comma-separated
// list: control characters and commas become '_'.
std::string reportableName(std::string_view name);
