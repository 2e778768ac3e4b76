// Text helpers of the HTML pages: escaping of any text for element content
// and attribute values, relative links, digit grouping, and the cleaning of
// an SVG document so it can stand inline in an HTML page.
#pragma once
#include "base/digit_groups.h"

#include <cstdint>
#include <string>

namespace page {

// Text for HTML element content or a double-quoted attribute value: `&`,
// `<`, `>`, `"` and `'` become character references, invalid UTF-8 and
// control characters other than tab, newline and carriage return become
// U+FFFD.
std::string escapeHtml(const std::string& text);

// A relative path as an href value: every byte other than a letter, digit,
// '.', '_', '-', '~' and '/' is percent-encoded, so a name such as
// `a#b?.html` or `http:x.html` stays a path relative to the page.
std::string relativeHref(const std::string& path);


// An SVG document ready to stand inside HTML: the XML declaration, doctype
// and comments before the root are dropped, and the root's namespace
// declarations and every `inkscape:` attribute are removed (the HTML parser
// puts inline <svg> in the SVG namespace by itself). Empty when the text
// holds no <svg> root element.
std::string inlineSvg(const std::string& svg);

// A -log10 p field of a table as a number for ranking: `inf` is +infinity;
// `NA`, `.`, empty and anything else that is not a number rank last
// (-infinity). Trailing text is not accepted.
double strengthValue(const std::string& field);

} // namespace page
