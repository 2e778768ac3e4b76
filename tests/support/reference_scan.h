// Straightforward transcriptions of the scan steps the tool runs in faster
// form: the compression (quadratic) and the nested cutting with its chunk
// measures (position lookup by search, chunk copies). The differential tests
// require identical results from both.
#pragma once
#include "chromosome_scan.h"

void referenceCompressPositions(Markers& m, double shrink);
void referenceBuildChunks(const Markers& m, Chunks& chunks, SplitScratch& unused);
// The scan with both straightforward steps.
ScanSteps referenceSteps();
