// The next line of a BGZF file, found with memchr in the decompressed
// block: bgzf_getline's result (and its bookkeeping of the position, so
// that bgzf_tell and bgzf_seek work on) for long lines such as a VCF's
// genotype records, which bgzf_getline scans a byte at a time.
#pragma once
#include <htslib/bgzf.h>
#include <htslib/kstring.h>

// The line without its '\n' (and a '\r' before it) in line: its length, -1
// at the end of the file, below -1 on a read error. For a file read without
// htslib's threads.
int bgzfLine(BGZF* fp, kstring_t* line);
