// One chromosome's markers during the scan: five index-aligned vectors that
// always change together (the input indices may be left empty).
#pragma once
#include "numerics/vector_ops.h"

#include <cstdint>
#include <vector>

using WorkPositions = std::vector<int64_t>;

struct Markers {
    IntVector positions;   // real positions, in input order
    DoubleVector values;   // -log10(p), unsmoothed
    WorkPositions work;    // compressed, strictly increasing working positions
    DoubleVector smoothed; // smoothed values
    std::vector<uint32_t> origin; // index of each marker in its input batch (may be left empty)

    size_t size() const { return positions.size(); }

    // Keeps exactly the markers i for which keep(i), in order.
    template <typename Keep>
    void keepIf(Keep keep)
    {
        const bool tracked = !origin.empty();
        size_t out = 0;
        for (size_t i = 0; i < positions.size(); ++i) {
            if (!keep(i))
                continue;
            positions[out] = positions[i];
            values[out] = values[i];
            work[out] = work[i];
            smoothed[out] = smoothed[i];
            if (tracked)
                origin[out] = origin[i];
            ++out;
        }
        positions.resize(out);
        values.resize(out);
        work.resize(out);
        smoothed.resize(out);
        if (tracked)
            origin.resize(out);
    }
};
