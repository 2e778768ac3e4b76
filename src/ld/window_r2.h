// r² of the markers of regional windows to one reference marker each, from
// the LD panel: the same matching and the same maximum-likelihood r² as the
// clumping, so a figure's colours agree with the loci it draws.
#pragma once
#include "ld/ld_panel.h"

#include <cstdint>
#include <string>
#include <vector>

// The markers of one window, all on one chromosome: position and id ("" when
// the table has none), parallel; reference indexes the marker whose r² to
// the others is wanted (-1: none, every r² NaN).
struct WindowMarkers {
    std::string chromosome;
    const std::vector<int32_t>* positions = nullptr;
    const std::vector<std::string>* ids = nullptr;
    int64_t reference = -1;
};

// Per window, per marker: its r² to the window's reference, NaN when either
// is absent from the panel or monomorphic over the samples both have
// called (the reference's own r² is 1 when it is in the panel).
// referenceFound: per window, whether the reference is in the panel.
// Every window's markers are matched against the panel in one pass. False
// with the reason in why when the panel cannot be read.
bool windowR2(const LdPanel& panel, const std::vector<WindowMarkers>& windows, std::vector<std::vector<float>>& r2,
              std::vector<uint8_t>& referenceFound, std::string& why);

// The sample selection in words: "all 1,000 samples" or "the 500 samples of
// FILE" (FILE's name without its folders).
std::string panelSamplesText(const LdPanel& panel, const std::string& samplesFile);
