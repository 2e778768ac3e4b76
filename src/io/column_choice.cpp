// Telling column numbers from column names in option values.
#include "io/column_choice.h"

#include "io/number_parsing.h"

#include <algorithm>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string trimmed(const std::string& value)
{
    const auto b = std::find_if_not(value.begin(), value.end(), isBlank);
    const auto e = std::find_if_not(value.rbegin(), value.rend(), isBlank).base();
    return b < e ? std::string(b, e) : std::string();
}

// Sign and digits only: a number, even when too large to be a column.
bool looksLikeInteger(const std::string& text)
{
    const size_t digitsFrom = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    return text.size() > digitsFrom &&
           std::all_of(text.begin() + static_cast<long>(digitsFrom), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

ColumnChoice parseColumnChoice(const std::string& value)
{
    ColumnChoice choice;
    choice.text = value;
    bool ok = false;
    choice.number = toInt32(value, &ok);
    const std::string text = trimmed(value);
    if (ok || text.empty() || looksLikeInteger(text))
        return choice;
    choice.byName = true;
    choice.name = text;
    return choice;
}

CarryRequest parseCarryRequest(const std::string& value)
{
    CarryRequest request;
    if (trimmed(value) == "none") {
        request.none = true;
        return request;
    }
    for (size_t from = 0;;) {
        const size_t comma = value.find(',', from);
        request.columns.push_back(parseColumnChoice(value.substr(from, comma - from)));
        if (comma == std::string::npos)
            return request;
        from = comma + 1;
    }
}
