// Line splitting over BGZF blocks.
#include "ld/bgzf_lines.h"

#include <htslib/hfile.h>

#include <climits>
#include <cstring>

int bgzfLine(BGZF* fp, kstring_t* line)
{
    line->l = 0;
    int state = 0; // 1: a line end found; -1: the end of the file; < -1: an error
    do {
        if (fp->block_offset >= fp->block_length) {
            if (bgzf_read_block(fp) != 0) {
                state = -2;
                break;
            }
            if (fp->block_length == 0) {
                state = -1;
                break;
            }
        }
        const char* from = static_cast<const char*>(fp->uncompressed_block) + fp->block_offset;
        const size_t left = static_cast<size_t>(fp->block_length - fp->block_offset);
        const char* end = static_cast<const char*>(std::memchr(from, '\n', left));
        const size_t n = end ? static_cast<size_t>(end - from) : left;
        if (end)
            state = 1;
        if (ks_resize(line, line->l + n + 2) < 0) {
            state = -3;
            break;
        }
        std::memcpy(line->s + line->l, from, n);
        line->l += n;
        fp->block_offset += static_cast<int>(n) + 1;
        if (fp->block_offset >= fp->block_length) {
            // The next block starts where the file's reading is.
            fp->block_address = htell(fp->fp);
            fp->block_offset = 0;
            fp->block_length = 0;
        }
    } while (state == 0);
    if (state < -1 || (line->l == 0 && state < 0))
        return state;
    fp->uncompressed_address += static_cast<int64_t>(line->l) + 1;
    if (line->l > 0 && line->s[line->l - 1] == '\r')
        --line->l;
    line->s[line->l] = '\0';
    return line->l <= INT_MAX ? static_cast<int>(line->l) : INT_MAX;
}
