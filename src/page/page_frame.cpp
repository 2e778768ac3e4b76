// The shared parts of the pages.
#include "page/page_frame.h"

#include "page/html_text.h"
#include "page/page_assets.h"

#include <cmath>

namespace page {

void openDocument(std::string& out, const std::string& title)
{
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<meta name=\"generator\" content=\"Quorlin\">\n<title>";
    out += escapeHtml(title);
    out += "</title>\n<style>";
    out += pageStyle();
    out += "</style>\n</head>\n<body>\n<main>\n";
}

void closeDocument(std::string& out, const std::string& footer, const std::vector<const char*>& extraScripts)
{
    out += "<footer>";
    out += escapeHtml(footer);
    out += "</footer>\n</main>\n<script>";
    out += pageScript();
    for (const char* script : extraScripts)
        out += script;
    out += "</script>\n</body>\n</html>\n";
}

void fact(std::string& out, const std::string& label, const std::string& value)
{
    out += "<div><span class=\"label\">";
    out += escapeHtml(label);
    out += "</span><span class=\"value\">";
    out += escapeHtml(value);
    out += "</span></div>\n";
}

std::string commandText(const std::vector<std::string>& words)
{
    std::string out;
    for (const std::string& w : words) {
        if (!out.empty())
            out += ' ';
        bool plain = !w.empty();
        for (const char c : w) {
            const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                            std::string("_-./:=,+@%").find(c) != std::string::npos;
            plain = plain && ok;
        }
        if (plain) {
            out += w;
            continue;
        }
        out += '\'';
        for (const char c : w) {
            if (c == '\'')
                out += "'\\''";
            else
                out += c;
        }
        out += '\'';
    }
    return out;
}

void sortableHeader(std::string& out, int col, const std::string& label, const std::string& tooltip)
{
    out += "<th scope=\"col\" data-col=\"" + std::to_string(col) + "\" aria-sort=\"none\"";
    if (!tooltip.empty())
        out += " title=\"" + escapeHtml(tooltip) + "\"";
    out += "><button type=\"button\">";
    out += escapeHtml(label);
    out += "</button></th>";
}

void dataCell(std::string& out, const std::string& text)
{
    const bool number = text == "NA" || text == "." || strengthValue(text) != -INFINITY;
    out += number ? "<td class=\"num\">" : "<td>";
    out += escapeHtml(text);
    out += "</td>";
}

} // namespace page
