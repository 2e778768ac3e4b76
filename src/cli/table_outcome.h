// What one table's run leaves: its messages, whether the run may go on, the
// finished outputs waiting to take their names together, and the facts the
// list's study-wide outputs need.
#pragma once
#include "io/output_file.h"

#include <string>
#include <vector>

// What a table's run found, for pages and the study-wide tables.
struct TableFacts {
    long long rows = 0, used = 0, retained = 0, chromosomes = 0;
    size_t loci = 0, lociWithPeak = 0, peaks = 0;
    std::string strongestLocus;  // the strongest locus's lead id (or chrom:position), or ""
    std::string strongestLog10p; // its -log10(p) as the loci file writes it
    std::string lambda;         // the figure's genomic inflation, when drawn
    std::string lambdaNote;     // the figure's caveat on it, if any
};

// Standard-output and standard-error text in the order it arose, and the
// complete outputs. The outputs take their names together in publish(), and
// only when the table succeeded: a stop leaves every earlier file as it was,
// except that the report of a damaged input keeps the peaks found before
// the damage (keepReport).
struct TableOutcome {
    bool ok = true;
    bool keepReport = false;
    std::string out, err;
    std::vector<OutputFile> finished;
    std::string madeFolder; // a folder this table made; removed again, when empty, after a stop
    // For the list's study-wide loci table and index page.
    std::string lociText; // the loci file's text (when loci are wanted)
    TableFacts facts;
};

// Adds "quorlin: warning: TABLE: what" to the outcome's standard error.
void warn(TableOutcome& o, const std::string& table, const std::string& what);

// Turns the outcome into an error stop: message (one line with its line
// end) for standard output, "quorlin: reason" for standard error.
void stop(TableOutcome& o, const std::string& message, const std::string& reason);

// Renames the finished outputs into place when the table succeeded (a
// failed rename turns the outcome into an error stop and the outputs not yet
// renamed are dropped); after a stop drops them all, but for a kept report.
void publish(TableOutcome& o);

// Drops an outcome that is never published (a later table of a list that
// stopped): its temporary files and a folder it made go.
void drop(TableOutcome& o);
