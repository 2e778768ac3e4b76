// Reading a PLINK 1 binary fileset's .bim and .fam and checking its .bed.
#include "ld/plink_fileset.h"

#include "ld/text_lines.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unordered_map>

namespace {

bool endsWith(const std::string& s, const char* tail)
{
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

bool cannotRead(const std::string& path, std::string& why)
{
    why = "cannot read '" + path + "': " + std::strerror(errno ? errno : ENOENT);
    return false;
}

std::string notBim(const std::string& path, uint64_t number)
{
    return "'" + path + "' line " + std::to_string(number) +
           " is not a .bim line (chromosome, id, cM, position, allele 1, allele 2)";
}

// The .bim's lines that are not blank, counted in one pass of memchr over
// a buffer; the lines' fields are checked when a table's candidates are
// matched (panel_match.cpp), which reads them anyway.
bool countBim(const std::string& path, uint64_t& count, std::vector<PlinkFileset::BimMark>& marks, std::string& why)
{
    constexpr uint64_t kMarkEvery = uint64_t(1) << 16;
    marks.assign(1, PlinkFileset::BimMark());
    uint64_t offset = 0, lines = 0; // of the buffer's first byte; lines ended so far
    errno = 0;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return cannotRead(path, why);
    std::vector<char> buffer(size_t(1) << 17);
    bool content = false; // the current line has a character other than blanks
    count = 0;
    for (;;) {
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            const int error = got < 0 ? errno : 0;
            close(fd);
            errno = error;
            if (error)
                return cannotRead(path, why);
            break;
        }
        const char* p = buffer.data();
        const char* const end = p + got;
        while (p < end) {
            const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            const char* lineEnd = newline ? newline : end;
            for (const char* q = p; !content && q < lineEnd; ++q)
                content = static_cast<unsigned char>(*q) > ' ';
            if (!newline)
                break;
            count += content ? 1 : 0;
            ++lines;
            content = false;
            p = newline + 1;
            if (count >= marks.back().variants + kMarkEvery)
                marks.push_back({offset + static_cast<uint64_t>(p - buffer.data()), lines, count});
        }
        offset += static_cast<uint64_t>(got);
    }
    count += content ? 1 : 0;
    return true;
}

bool readFam(const std::string& path, PlinkFileset& set, std::string& why)
{
    errno = 0;
    std::ifstream in(path);
    if (!in)
        return cannotRead(path, why);
    std::string line;
    for (size_t number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        std::vector<std::string> f = words(line);
        if (f.size() < 2) {
            why = "'" + path + "' line " + std::to_string(number) + " is not a .fam line (family id, sample id, ...)";
            return false;
        }
        set.familyIds.push_back(std::move(f[0]));
        set.sampleIds.push_back(std::move(f[1]));
    }
    if (in.bad())
        return cannotRead(path, why);
    return true;
}

} // namespace

bool bimPosition(std::string_view text, int32_t& position)
{
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0)
        return false;
    position = value;
    return true;
}

bool bimFields(const LineFields& fields, BimFields& out)
{
    if (fields.count != 6 || !bimPosition(fields.at[3], out.position))
        return false;
    out.chromosome = fields.at[0];
    out.id = fields.at[1];
    out.allele1 = fields.at[4];
    out.allele2 = fields.at[5];
    return true;
}

bool readPanelVariants(const std::string& bimPath, std::vector<PanelVariant>& variants, std::string& why)
{
    TextLines lines(bimPath);
    if (!lines.opened()) {
        errno = lines.error();
        return cannotRead(bimPath, why);
    }
    LineFields fields;
    BimFields f;
    while (lines.next(fields)) {
        if (!bimFields(fields, f)) {
            why = notBim(bimPath, lines.lineNumber());
            return false;
        }
        variants.push_back({std::string(f.chromosome), std::string(f.id), f.position, std::string(f.allele1),
                            std::string(f.allele2)});
    }
    errno = lines.error();
    return errno == 0 || cannotRead(bimPath, why);
}

void plinkPaths(const std::string& panel, std::string& bed, std::string& bim, std::string& fam)
{
    const std::string prefix = endsWith(panel, ".bed") ? panel.substr(0, panel.size() - 4) : panel;
    bed = prefix + ".bed";
    bim = prefix + ".bim";
    fam = prefix + ".fam";
}

bool openPlinkFileset(const std::string& panel, PlinkFileset& set, std::string& why)
{
    plinkPaths(panel, set.bedPath, set.bimPath, set.famPath);
    errno = 0;
    std::ifstream bed(set.bedPath, std::ios::binary);
    if (!bed)
        return cannotRead(set.bedPath, why);
    unsigned char magic[3] = {};
    bed.read(reinterpret_cast<char*>(magic), 3);
    if (bed.gcount() != 3 || magic[0] != 0x6c || magic[1] != 0x1b) {
        why = "'" + set.bedPath + "' is not a PLINK 1 .bed file (its first bytes are not 6c 1b)";
        return false;
    }
    if (magic[2] != 0x01) {
        why = "'" + set.bedPath + "' is not SNP-major (third byte " + std::to_string(magic[2]) +
              ", not 1); rewrite it with plink --make-bed";
        return false;
    }
    if (!countBim(set.bimPath, set.variantCount, set.bimMarks, why) || !readFam(set.famPath, set, why))
        return false;
    set.bytesPerVariant = (set.sampleIds.size() + 3) / 4;
    struct stat st {};
    if (stat(set.bedPath.c_str(), &st) != 0)
        return cannotRead(set.bedPath, why);
    const uint64_t expected = 3 + set.bytesPerVariant * set.variantCount;
    if (static_cast<uint64_t>(st.st_size) != expected) {
        why = "'" + set.bedPath + "' has " + std::to_string(st.st_size) + " bytes, but " +
              std::to_string(set.variantCount) + " variants × " + std::to_string(set.sampleIds.size()) +
              " samples need " + std::to_string(expected);
        return false;
    }
    return true;
}

bool selectSamples(const PlinkFileset& set, const std::string& file, std::vector<uint32_t>& chosen, size_t& unknown,
                   std::string& why)
{
    chosen.clear();
    unknown = 0;
    const size_t n = set.sampleIds.size();
    if (file.empty()) {
        for (size_t s = 0; s < n; ++s)
            chosen.push_back(static_cast<uint32_t>(s));
    } else {
        std::unordered_multimap<std::string, uint32_t> byIid;
        for (size_t s = 0; s < n; ++s)
            byIid.emplace(set.sampleIds[s], static_cast<uint32_t>(s));
        errno = 0;
        std::ifstream in(file);
        if (!in)
            return cannotRead(file, why);
        std::vector<char> wanted(n, 0);
        std::string line;
        while (std::getline(in, line)) {
            const std::vector<std::string> f = words(line);
            if (f.empty())
                continue;
            // One word: an IID (every sample with it); two or more: FID IID.
            // Without family ids (a VCF's samples) the whole line is a name.
            const bool named = set.familyIds.empty() || f.size() == 1;
            std::string iid = f.size() == 1 ? f[0] : f[1];
            if (set.familyIds.empty()) {
                const size_t from = line.find_first_not_of(" \t"), to = line.find_last_not_of(" \t\r");
                iid = line.substr(from, to - from + 1);
            }
            bool found = false;
            const auto range = byIid.equal_range(iid);
            for (auto it = range.first; it != range.second; ++it)
                if (named || set.familyIds[it->second] == f[0]) {
                    wanted[it->second] = 1;
                    found = true;
                }
            if (!found)
                ++unknown;
        }
        if (in.bad())
            return cannotRead(file, why);
        for (size_t s = 0; s < n; ++s)
            if (wanted[s])
                chosen.push_back(static_cast<uint32_t>(s));
    }
    if (chosen.empty()) {
        why = file.empty() ? "the panel has no samples" : "no sample of '" + file + "' is in the panel";
        return false;
    }
    return true;
}
