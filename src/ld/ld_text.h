// The texts of LD clumping: the members file, the loci file's clumped_by
// column, and the summary and warning lines on standard error.
#pragma once
#include "ld/ld_clump.h"
#include "ld/ld_panel.h"

#include <string>
#include <vector>

// The members file: a header, then per locus (in the loci file's order)
// its members by position: lead_id, chrom, position, id, log10p, r2 (NA
// for members clumped by distance, 1 for the lead), distance (member
// position - lead position).
std::string ldMembersText(const LdLoci& loci, const LociCandidates& candidates);

// Per locus: "r2", or "distance" when its lead is absent from the panel.
std::vector<std::string> clumpedByWords(const LdLoci& loci);

// The lines for standard error, each starting "quorlin: ": the summary line
// on candidates absent from the panel (with the first three), a warning
// when more than 10 % are absent, and the genome-build warning when most
// id matches lie elsewhere in the panel.
std::string ldNotes(const std::string& table, const LdLoci& loci, const PanelMatch& match);
