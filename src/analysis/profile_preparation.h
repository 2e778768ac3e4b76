// Preparation of a chromosome's profile before the peak loop: thinning the
// weak background, smoothing the values, and compressing and straightening
// the working positions where the profile is high.
#pragma once
#include "analysis/markers.h"

// Removes the weakest background markers (values below 7.3) so that about
// one remains per 25000 position units.
void trimBackground(Markers& m);
// Replaces every smoothed value but the two outermost on each side by the
// fitted value of the least-squares line over its five-marker window, from
// the unsmoothed values and real positions.
void smoothProfile(Markers& m);
// Shortens every gap between working positions in proportion to its mean
// smoothed value (scaled by shrink), keeping them strictly increasing.
void compressPositions(Markers& m, double shrink);
// Shortening of one gap of length dist whose mean value is meanValue.
int64_t gapShortening(int64_t dist, double meanValue, double lowest, double highest, double shrink);
// Moves every inner working position to the middle of its neighbours where
// they lie more than 3 apart: odd indices first, then even ones.
void straightenPositions(Markers& m);
