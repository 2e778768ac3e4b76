// Paths as the run names them: splitting into folder and file name, quoting
// for messages, making a folder, and the identity that tells whether two
// spellings name one file.
#pragma once
#include <string>
#include <sys/types.h>

// "a/b/c.tsv" -> "a/b/" (with its slash); "" for a bare name.
std::string folderOf(const std::string& path);
// "a/b/c.tsv" -> "c.tsv".
std::string fileNameOf(const std::string& path);
// 'path', as messages quote a path.
std::string quoted(const std::string& path);

// Makes folder when it is missing (its parents are not made): 0 when the
// folder is there, else the errno (EEXIST for a file in its place).
int makeFolder(const std::string& folder);

// Where an output really goes: the target of a symbolic link (followed to
// its end, also when that does not exist yet), else the path itself.
std::string resolvedOutputPath(const std::string& path);

// Whether path names an existing file that is not a plain file or folder:
// a device, a FIFO or a socket, written as it is.
bool isSpecialFile(const std::string& path);

// One file, however it is spelled. An existing file is known by device and
// inode (so a hard or symbolic link is caught); every file also by the real
// folder it lands in and its name after its links are followed (so
// "./r.tsv", "r.tsv" and an absolute spelling are one file, also before the
// file exists or after it was replaced).
struct FileIdentity {
    bool exists = false;
    bool device = false; // a character device (/dev/null, a terminal): never one file with another output
    dev_t deviceNumber = 0;
    ino_t inode = 0;
    std::string realPath;

    bool sameFile(const FileIdentity& other) const;
};
FileIdentity identityOf(const std::string& path);
