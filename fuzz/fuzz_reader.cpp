// Fuzz target: the table reader on arbitrary bytes (plain or gzip), with an
// arbitrary separator and column choice, through line splitting, field
// picking and the number conversions.
#include "io/field_splitter.h"
#include "io/line_reader.h"
#include "io/number_parsing.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
const std::string& scratchPath()
{
    static const std::string path = [] {
        char name[] = "/tmp/quorlin-fuzz-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        return std::string(name);
    }();
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    static const char* const words[] = {"tab", "space", "comma", "whitespace", "::", "|", "semicolon", "\t\t"};
    const FieldSeparator sep = separatorForWord(words[data[0] % 8]);
    PickedColumns cols;
    for (int k = 1; k <= 3; ++k)
        cols.add(1 + data[k] % 9);
    FILE* f = std::fopen(scratchPath().c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data + 4, 1, size - 4, f);
    std::fclose(f);
    auto source = openInput(scratchPath());
    if (!source)
        std::abort();
    LineReader in(std::move(source));
    std::string_view line, fields[3];
    while (in.next(line)) {
        if (line.find('\r') != std::string_view::npos || line.find('\n') != std::string_view::npos)
            std::abort();
        if (!pickFields(line, sep, cols, fields))
            continue;
        bool ok = false;
        const int32_t position = toInt32(fields[0].data(), fields[0].size(), &ok);
        if (!ok && position != 0)
            std::abort();
        const double p = toDouble(fields[1].data(), fields[1].size(), &ok);
        if (!ok && p != 0.0)
            std::abort();
    }
    return 0;
}
