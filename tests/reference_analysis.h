// Straightforward transcriptions of the steps the tool runs in faster form:
// the compression (quadratic) and the nested cutting with its chunk measures
// (position lookup by search, chunk copies). The differential tests require
// identical results from both.
#pragma once

void referenceCompressPositions();
int referenceSplitAll(double inflation);
