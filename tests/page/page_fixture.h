// Pages built from the example table's real outputs, for the unit tests and
// the browser check: the report, BED file and figure of a real run, loci
// made from the BED lines plus loci without a peak, and regional figures
// drawn from the example's markers.
#pragma once

#include "table_page.h"

#include <string>

// Runs `quorlin` on `examplesDir`/example.tsv into `outDir` and gathers the
// page's data; the loci text is the fixture's loci table. Empty table name
// when the run failed.
page::TablePage examplePage(const std::string& quorlin, const std::string& examplesDir, const std::string& outDir);
