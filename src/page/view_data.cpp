// The interactive views' data as JSON.
#include "page/view_data.h"

#include "base/chromosome_names.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>

namespace page {

namespace {

// Standard base64 of the masks' bytes, least significant byte first.
std::string base64Masks(const std::vector<uint64_t>& masks)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    bytes.reserve(masks.size() * 8);
    for (const uint64_t m : masks)
        for (int b = 0; b < 8; ++b)
            bytes += static_cast<char>((m >> (8 * b)) & 0xff);
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k)
            out += k <= n ? digits[(v >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

template <class T, class F>
void jsonArray(std::string& out, const char* key, const std::vector<T>& items, F each)
{
    out += '"';
    out += key;
    out += "\":[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += ',';
        each(items[i]);
    }
    out += ']';
}

} // namespace

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || ch == '<' || ch == '>' || ch == '&') {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string jsonNumber(double value)
{
    if (std::isnan(value))
        return "null";
    if (std::isinf(value))
        return value > 0 ? "1e999" : "-1e999";
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

std::string pText(double value, bool valueIsLog10)
{
    if (!valueIsLog10)
        return jsonNumber(value);
    if (std::isinf(value) && value > 0)
        return "0";
    if (!std::isfinite(value))
        return "NA";
    // p = m * 10^-e with 1 <= m < 10.
    const double e = std::ceil(value);
    double m = std::pow(10.0, e - value);
    int exponent = static_cast<int>(e);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.2f", m);
    if (buffer[0] == '1' && buffer[1] == '0') { // rounded up to 10
        m = 1;
        --exponent;
    }
    if (exponent <= 4) {
        std::snprintf(buffer, sizeof buffer, "%.3g", std::pow(10.0, -value));
        return buffer;
    }
    std::snprintf(buffer, sizeof buffer, "%.3ge-%d", m, exponent);
    return buffer;
}

std::vector<size_t> naturalRowOrder(const std::vector<std::string>& chromosomeOfRow)
{
    std::vector<std::string> names; // in first appearance
    std::set<std::string> seen;
    for (const std::string& c : chromosomeOfRow)
        if (seen.insert(c).second)
            names.push_back(c);
    const std::vector<int> order = naturalChromosomeOrder(names);
    std::vector<size_t> rows;
    rows.reserve(chromosomeOfRow.size());
    for (const int n : order)
        for (size_t r = 0; r < chromosomeOfRow.size(); ++r)
            if (chromosomeOfRow[r] == names[static_cast<size_t>(n)])
                rows.push_back(r);
    return rows;
}

void keepStrongestPoints(ViewData& view, size_t bytes)
{
    std::vector<ViewMarker>& m = view.markers;
    std::stable_sort(m.begin(), m.end(), [](const ViewMarker& a, const ViewMarker& b) { return a.log10p > b.log10p; });
    size_t used = 0, kept = 0;
    while (kept < m.size()) {
        const size_t cost = m[kept].p.size() + m[kept].id.size() + 12; // quotes, commas, a position step
        if (used + cost > bytes)
            break;
        used += cost;
        ++kept;
    }
    if (kept < m.size()) {
        const double cut = m[kept].log10p; // the strongest left out: all as strong go too
        while (kept > 0 && !(m[kept - 1].log10p > cut))
            --kept;
        view.pointsLeftOut = m.size() - kept;
        view.pointLimit = kept > 0 ? std::pow(10.0, -m[kept - 1].log10p) : 0;
        if (!(view.pointLimit > 0) || !std::isfinite(view.pointLimit))
            view.pointLimit = std::numeric_limits<double>::min();
        m.resize(kept);
    }
    std::stable_sort(m.begin(), m.end(), [](const ViewMarker& a, const ViewMarker& b) {
        return a.chromosome != b.chromosome ? a.chromosome < b.chromosome : a.position < b.position;
    });
}

std::string viewJson(const ViewData& view, const std::vector<size_t>& regional)
{
    std::string out = "{\"limit\":" + jsonNumber(view.pointLimit) + ",\"gw\":" + jsonNumber(view.genomeWide) +
                      ",\"thinTop\":" + jsonNumber(-std::log10(view.pointLimit)) + ",";
    jsonArray(out, "chroms", view.chromosomes, [&](const ViewChromosome& c) {
        out += "{\"n\":" + jsonString(c.name) + ",\"a\":" + std::to_string(c.first) + ",\"b\":" +
               std::to_string(c.last) + ",\"w\":" + std::to_string(c.thinColumnBp) + ",\"t\":\"" +
               base64Masks(c.thin) + "\"}";
    });
    // Points by chromosome: a count per chromosome, each position as the
    // step from the one before (the first from 0), p as a JSON number (as
    // text where it came as -log10 p), and the ids.
    std::vector<size_t> counts(view.chromosomes.size(), 0);
    for (const ViewMarker& m : view.markers)
        ++counts[m.chromosome];
    out += ",\"pts\":{";
    jsonArray(out, "n", counts, [&](size_t n) { out += std::to_string(n); });
    out += ',';
    int64_t previous = 0;
    uint32_t chromosome = std::numeric_limits<uint32_t>::max();
    jsonArray(out, "dx", view.markers, [&](const ViewMarker& m) {
        if (m.chromosome != chromosome)
            previous = 0;
        chromosome = m.chromosome;
        out += std::to_string(int64_t(m.position) - previous);
        previous = m.position;
    });
    out += ',';
    jsonArray(out, "p", view.markers, [&](const ViewMarker& m) {
        char* end = nullptr;
        const double value = std::strtod(m.p.c_str(), &end);
        const bool plain = !m.p.empty() && *end == '\0' && value > 0 && jsonNumber(value) == m.p;
        out += plain ? m.p : jsonString(m.p);
    });
    out += ',';
    jsonArray(out, "id", view.markers, [&](const ViewMarker& m) { out += jsonString(m.id); });
    out += "},\"leftOut\":" + std::to_string(view.pointsLeftOut) + ",";
    jsonArray(out, "loci", view.loci, [&](const ViewLocus& l) {
        out += "{\"c\":" + std::to_string(l.chromosome) + ",\"s\":" + std::to_string(l.start) +
               ",\"e\":" + std::to_string(l.end) + ",\"x\":" + std::to_string(l.leadPosition) +
               ",\"id\":" + jsonString(l.leadId) + ",\"lp\":" + jsonString(l.log10p) + ",\"st\":" +
               jsonString(l.status) + ",\"ng\":" + jsonString(l.nearestGene) + ",";
        jsonArray(out, "g", l.genes, [&](const std::string& g) { out += jsonString(g); });
        out += '}';
    });
    out += ",\"reg\":{";
    bool first = true;
    for (const size_t k : regional) {
        const auto found = view.regional.find(k);
        if (found == view.regional.end())
            continue;
        out += (first ? "\"" : ",\"") + std::to_string(k) + "\":" + found->second;
        first = false;
    }
    out += "}}";
    return out;
}

} // namespace page
