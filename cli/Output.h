#pragma once

#include <array>
#include <iosfwd>
#include <ostream>
#include <streambuf>

namespace quorix::cli {

// A buffered output stream on a file descriptor that keeps the reason its
// first write failed, so the command can tell a person why the output was
// lost (a full disk, a closed pipe) instead of ending as if all was well.
// After a failure further output is dropped and the stream is bad.
class DescriptorOutput : private std::streambuf {
public:
    explicit DescriptorOutput(int fd);
    ~DescriptorOutput() override;
    DescriptorOutput(const DescriptorOutput&) = delete;
    DescriptorOutput& operator=(const DescriptorOutput&) = delete;

    std::ostream& stream() { return stream_; }

    // Writes what is buffered; the errno of the first write that failed, or
    // 0 when everything reached the descriptor.
    int finish();

private:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int sync() override;
    bool drain();
    bool writeAll(const char* data, size_t count);

    int fd_;
    int error_ = 0;
    std::array<char, 8192> buffer_ {};
    std::ostream stream_;
};

// The exit status once the command's output is finished: `status`, unless
// the output could not be written; that is reported on `err` as
// "quorix: write error: REASON" and makes the status 1.
int finishOutput(DescriptorOutput& output, int status, std::ostream& err);

} // namespace quorix::cli
