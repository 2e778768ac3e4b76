// The nested chunks of the compacted remaining markers, built in full: cut
// at the widest gap again and again, with every chunk's measures. The
// straightforward form of the sequence chunk_choice.h chooses from; the scan
// falls back to it, and the tests hold the tree form to it (doc/scan.md).
#pragma once
#include "analysis/chunk_choice.h"
#include "analysis/markers.h"

#include <cstdint>
#include <vector>

// Nested chunks, outermost first: chunk k spans markers start[k]..end[k].
struct Chunks {
    std::vector<int> start, end;
    DoubleVector height;            // largest smoothed value
    std::vector<int64_t> widestGap; // widest internal working gap

    int size() const { return static_cast<int>(start.size()); }
    void clear();
    void add(int first, int last, int64_t widest);
};

// Reusable buffers of the gap tree, kept between scan iterations.
struct SplitScratch {
    std::vector<int64_t> gap;
    std::vector<int> left, right, stack;
};

// Builds the nested chunks of m, with every chunk's measures, into chunks.
void buildChunks(const Markers& m, Chunks& chunks, SplitScratch& scratch);
using ChunkBuilder = void (*)(const Markers&, Chunks&, SplitScratch&);

// Built chunks as the sequence chooseChunk() runs over: all listed, the
// remaining markers consecutive in m.
class LinearChunks {
public:
    LinearChunks(const Markers& m, const Chunks& chunks) : m_(m), c_(chunks) {}

    const Markers& markers() const { return m_; }
    int next(int marker) const { return static_cast<size_t>(marker) + 1 < m_.work.size() ? marker + 1 : kNoMarker; }
    int previous(int marker) const { return marker - 1; }
    int listed() const { return c_.size(); }
    bool complete() const { return true; }
    bool extend() { return false; }
    bool listFinal() { return false; }
    bool outerListed(int) const { return true; }
    // The reference form steps back one chunk at a time.
    bool spansNest() const { return false; }
    int first(int item) const { return c_.start[static_cast<size_t>(item)]; }
    int last(int item) const { return c_.end[static_cast<size_t>(item)]; }
    int64_t steps(int item) const { return last(item) - first(item); }
    int64_t widestGap(int item) const { return c_.widestGap[static_cast<size_t>(item)]; }
    double height(int item) const { return c_.height[static_cast<size_t>(item)]; }

private:
    const Markers& m_;
    const Chunks& c_;
};
