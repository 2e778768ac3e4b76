// Escaping, links and SVG cleaning for the HTML pages.
#include "page/html_text.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace page {

std::string escapeHtml(const std::string& text)
{
    // QString's decoder replaces every invalid UTF-8 sequence with U+FFFD.
    QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (QChar& ch : decoded) {
        const char16_t u = ch.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || (u >= 0x7f && u < 0xa0) || u == 0xFFFE ||
            u == 0xFFFF)
            ch = QChar(0xFFFD);
    }
    const QByteArray utf8 = decoded.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string relativeHref(const std::string& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const unsigned char u = static_cast<unsigned char>(c);
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '.' ||
                           u == '_' || u == '-' || u == '~' || u == '/';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}


namespace {

// Removes every attribute of the tag text `tag` (from '<' to '>') whose name
// is xmlns, starts with xmlns: or with inkscape:.
std::string dropForeignAttributes(const std::string& tag)
{
    std::string out;
    size_t i = 0;
    while (i < tag.size()) {
        const char c = tag[i];
        if (c == '"' || c == '\'') { // a quoted value is copied whole
            const size_t close = tag.find(c, i + 1);
            const size_t end = close == std::string::npos ? tag.size() : close + 1;
            out.append(tag, i, end - i);
            i = end;
            continue;
        }
        const bool atName = (c == ' ' || c == '\n' || c == '\t' || c == '\r') && i + 1 < tag.size();
        if (atName) {
            const size_t nameStart = tag.find_first_not_of(" \n\t\r", i);
            const size_t nameEnd = tag.find_first_of("= \n\t\r/>", nameStart);
            const std::string name = tag.substr(nameStart, nameEnd - nameStart);
            if (name == "xmlns" || name.rfind("xmlns:", 0) == 0 || name.rfind("inkscape:", 0) == 0) {
                size_t j = nameEnd;
                if (j < tag.size() && tag[j] == '=') {
                    const size_t q = tag.find_first_of("\"'", j);
                    const size_t close = q == std::string::npos ? std::string::npos : tag.find(tag[q], q + 1);
                    j = close == std::string::npos ? tag.size() - 1 : close + 1;
                }
                i = j;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}

} // namespace

std::string inlineSvg(const std::string& svg)
{
    const size_t root = svg.find("<svg");
    if (root == std::string::npos)
        return {};
    const size_t last = svg.rfind("</svg>");
    if (last == std::string::npos || last < root)
        return {};
    std::string out;
    out.reserve(last + 6 - root);
    // Every tag is copied with its namespace and inkscape: attributes
    // dropped; text between tags is copied as it is.
    size_t i = root;
    const size_t end = last + 6;
    while (i < end) {
        const size_t open = svg.find('<', i);
        if (open == std::string::npos || open >= end) {
            out.append(svg, i, end - i);
            break;
        }
        out.append(svg, i, open - i);
        size_t close = open + 1;
        char quote = 0;
        while (close < end && (quote || svg[close] != '>')) {
            if (quote && svg[close] == quote)
                quote = 0;
            else if (!quote && (svg[close] == '"' || svg[close] == '\''))
                quote = svg[close];
            ++close;
        }
        const size_t tagEnd = std::min(close + 1, end);
        out += dropForeignAttributes(svg.substr(open, tagEnd - open));
        i = tagEnd;
    }
    return out;
}

double strengthValue(const std::string& field)
{
    if (field.empty())
        return -INFINITY;
    const char* begin = field.c_str();
    char* stop = nullptr;
    const double v = std::strtod(begin, &stop);
    if (stop != begin + field.size() || std::isnan(v))
        return -INFINITY;
    return v;
}

} // namespace page
