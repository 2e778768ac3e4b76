// Path splitting and identities through stat(2), readlink(2) and realpath(3).
#include "io/file_paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxLinks = 40;

} // namespace

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string fileNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

int makeFolder(const std::string& folder)
{
    struct stat st;
    if (stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : EEXIST;
    return mkdir(folder.c_str(), 0777) == 0 ? 0 : errno;
}

std::string resolvedOutputPath(const std::string& path)
{
    std::string current = path;
    for (int k = 0; k < kMaxLinks; ++k) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        char target[PATH_MAX];
        const ssize_t n = readlink(current.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return current;
        const std::string link(target, static_cast<size_t>(n));
        current = link[0] == '/' ? link : folderOf(current) + link;
    }
    return current;
}

bool isSpecialFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool FileIdentity::sameFile(const FileIdentity& other) const
{
    if (device || other.device)
        return false;
    if (exists && other.exists && deviceNumber == other.deviceNumber && inode == other.inode)
        return true;
    return realPath == other.realPath;
}

FileIdentity identityOf(const std::string& path)
{
    FileIdentity id;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = S_ISCHR(st.st_mode);
        id.deviceNumber = st.st_dev;
        id.inode = st.st_ino;
    }
    const std::string resolved = resolvedOutputPath(path);
    const std::string name = fileNameOf(resolved);
    std::string folder = folderOf(resolved);
    folder = folder.empty() ? "." : folder.size() == 1 ? "/" : folder.substr(0, folder.size() - 1);
    char real[PATH_MAX];
    id.realPath = (realpath(folder.c_str(), real) ? std::string(real) : folder) + "/" + name;
    return id;
}
