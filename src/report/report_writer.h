// Buffered writer for one report file at a time. Write failures are kept and
// reported by close(), so a full disk never passes for a complete report.
#pragma once
#include <string>
#include <string_view>

class ReportWriter {
public:
    ReportWriter() = default;
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;
    // Closes the file if it is still open (close() reports the outcome).
    ~ReportWriter();

    // Creates or empties path. Returns false with errno set when it cannot.
    bool open(const std::string& path);
    void write(std::string_view text);
    // Flushes and closes; false when any write or the close failed.
    bool close();
    bool isOpen() const { return fd_ >= 0; }
    // The errno of the first failed write or close (0 when none failed).
    int error() const { return error_; }

private:
    bool flush();

    int fd_ = -1;
    bool failed_ = false;
    int error_ = 0;
    std::string buffer_;
};
