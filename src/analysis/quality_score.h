// The peak quality score: the expected grade (1..5) of a fixed ordinal
// logistic model of a peak's height and steepest flank.
#pragma once

double qualityScore(double height, double bestSlope);
