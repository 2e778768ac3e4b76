// Internal: the parts every page shares: the document head with the inline
// style, the facts grid, the command line, a sortable table's header row
// and the closing part with the inline script.
#pragma once

#include <string>
#include <vector>

namespace page {

// From <!DOCTYPE html> to the opening <main>; `title` is plain text.
void openDocument(std::string& out, const std::string& title);
// The footer (plain text), the script (the tables' script, then each of
// extraScripts), and the closing tags.
void closeDocument(std::string& out, const std::string& footer, const std::vector<const char*>& extraScripts = {});

// One fact of the facts grid: label and value are plain text.
void fact(std::string& out, const std::string& label, const std::string& value);

// The command line words as one line, each word quoted for a POSIX shell
// where it holds anything other than letters, digits and `_-./:=,+@%`.
std::string commandText(const std::vector<std::string>& words);

// A header cell of a sortable table: the button sorts by column `col`;
// a non-empty `tooltip` becomes its title.
void sortableHeader(std::string& out, int col, const std::string& label, const std::string& tooltip = {});

// A data cell; numbers (and inf, NA, .) get the right-aligned class.
void dataCell(std::string& out, const std::string& text);

} // namespace page
