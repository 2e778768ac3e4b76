// The htslib handles of a VCF or BCF panel as owning pointers, and the
// messages and checks both the opening and the reading of a panel use.
#pragma once
#include <cerrno>
#include <cstring>
#include <htslib/hts.h>
#include <htslib/vcf.h>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace hts {

struct FileCloser {
    void operator()(htsFile* f) const { hts_close(f); }
};
struct HeaderFree {
    void operator()(bcf_hdr_t* h) const { bcf_hdr_destroy(h); }
};
using File = std::unique_ptr<htsFile, FileCloser>;
using Header = std::unique_ptr<bcf_hdr_t, HeaderFree>;

inline bool exists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// "cannot read 'path': " and the cause errno holds (an input/output error
// where htslib left none).
inline std::string cannotRead(const std::string& path)
{
    return "cannot read '" + path + "': " + std::strerror(errno ? errno : EIO);
}

} // namespace hts
