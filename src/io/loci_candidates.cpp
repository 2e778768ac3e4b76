// Reading back a candidate's strength and text.
#include "io/loci_candidates.h"

#include <cmath>

double LociCandidates::strength(size_t k) const
{
    const double v = candidates[k].value;
    return log10Values ? v : v < 0 ? -v : -std::log10(v);
}

double LociCandidates::p(size_t k) const
{
    const double v = candidates[k].value;
    return log10Values ? std::pow(10.0, -v) : v < 0 ? std::pow(10.0, v) : v;
}

namespace {

std::string_view textOf(const LociCandidates& c, size_t k)
{
    const size_t start = c.candidates[k].textStart;
    const size_t end = k + 1 < c.candidates.size() ? c.candidates[k + 1].textStart : c.text.size();
    return std::string_view(c.text).substr(start, end - start);
}

} // namespace

std::string_view LociCandidates::id(size_t k) const
{
    const std::string_view t = textOf(*this, k);
    return carried > 0 ? t.substr(0, t.find('\t')) : t;
}

std::string_view LociCandidates::carriedText(size_t k) const
{
    if (carried == 0)
        return {};
    const std::string_view t = textOf(*this, k);
    return t.substr(t.find('\t') + 1);
}
