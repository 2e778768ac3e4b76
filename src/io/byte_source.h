// Byte source for the reader: a plain file, or a gzip file (any number of
// members, as bgzip writes them) decompressed while streaming.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class InputSource {
public:
    virtual ~InputSource() = default;
    // Fills up to cap bytes; returns the count, 0 at the end of the data.
    // After a read or decompression error it returns 0 and failed() is true.
    virtual size_t read(char* buf, size_t cap) = 0;
    bool failed() const { return failed_; }

protected:
    bool failed_ = false;
};

// Opens path for reading. Returns null when the file cannot be opened (or is a
// directory). A file starting with the gzip magic bytes is decompressed.
// When bytesRead is given, it counts the bytes taken from the file (for a
// progress display; compressed bytes for a gzip file).
std::unique_ptr<InputSource> openInput(const std::string& path, std::atomic<uint64_t>* bytesRead = nullptr);
// The same, decompressing with zlib even where the faster ISA-L decoder is
// built in (the fallback decoder, kept under test).
std::unique_ptr<InputSource> openInputWithZlib(const std::string& path);
// The size of the file at path in bytes, or 0 when it cannot be told.
uint64_t fileSize(const std::string& path);
