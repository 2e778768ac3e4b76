// Plain-words meanings of the peak report's columns, for the page's
// column tooltips.
#pragma once

#include <string>

namespace page {

// Meaning of report column `name`; `occurrence` counts earlier columns of
// the same name (the report names two columns `range`). Empty for a column
// the report does not write.
std::string reportColumnMeaning(const std::string& name, int occurrence);

} // namespace page
