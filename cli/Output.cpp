#include "cli/Output.h"

#include "cli/Command.h"

#include "foundation/FileDescriptor.h"

#include <cstring>
#include <string_view>

namespace quorix::cli {

DescriptorOutput::DescriptorOutput(int fd)
    : fd_(fd)
    , stream_(this)
{
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

DescriptorOutput::~DescriptorOutput() { drain(); }

bool DescriptorOutput::writeAll(const char* data, size_t count)
{
    if (error_ == 0)
        error_ = foundation::writeFully(fd_, std::string_view(data, count));
    return error_ == 0;
}

// Sends the buffer's content; once a write has failed, output is dropped.
bool DescriptorOutput::drain()
{
    auto pending = static_cast<size_t>(pptr() - pbase());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return writeAll(buffer_.data(), pending);
}

DescriptorOutput::int_type DescriptorOutput::overflow(int_type c)
{
    if (!drain())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize DescriptorOutput::xsputn(const char* data, std::streamsize count)
{
    auto room = epptr() - pptr();
    if (count <= room) {
        std::memcpy(pptr(), data, static_cast<size_t>(count));
        pbump(static_cast<int>(count));
        return count;
    }
    // Larger than what is left: what is buffered first, then the rest directly.
    if (!drain() || !writeAll(data, static_cast<size_t>(count)))
        return 0;
    return count;
}

int DescriptorOutput::sync() { return drain() ? 0 : -1; }

int DescriptorOutput::finish()
{
    stream_.flush();
    drain();
    return error_;
}

int finishOutput(DescriptorOutput& output, int status, std::ostream& err)
{
    int error = output.finish();
    if (error == 0)
        return status;
    err << "quorix: write error: " << std::strerror(error) << '\n';
    return ExitFailure;
}

} // namespace quorix::cli
