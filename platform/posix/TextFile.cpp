#include "platform/TextFile.h"

#include "platform/Utf8.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr char kEndOfInput = '\x1A';

} // namespace

SharedTextFile::~SharedTextFile() {
    if (fd >= 0)
        ::close(fd);
}

bool SharedTextFile::Open(const std::wstring& path) {
    // File names are bytes here; wide paths are written as UTF-8, escaped bytes as themselves
    // (platform/Utf8.h), so a name that is not UTF-8 opens too. Non-blocking, so that
    // opening a FIFO without a writer returns at once; anything but a regular file is refused
    // before a single byte is read.
    const int handle = ::open(EncodeFileName(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (handle < 0)
        return false;
    struct stat info {};
    if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(handle);
        return false;
    }
    fd = handle;
    unread = sizeAtOpen = static_cast<std::uint64_t>(info.st_size);
    buffer.reset(new char[kBufferSize]);
    return true;
}

bool SharedTextFile::Refill() {
    begin = end = 0;
    if (ended || fd < 0 || unread == 0) {
        ended = true;
        return false;
    }
    const std::size_t wanted = unread < kBufferSize ? static_cast<std::size_t>(unread) : kBufferSize;
    ssize_t got;
    do {
        got = ::read(fd, buffer.get(), wanted);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        ended = true;
        return false;
    }
    end = static_cast<std::size_t>(got);
    unread -= end;
    if (const void* stop = std::memchr(buffer.get(), kEndOfInput, end)) {
        end = static_cast<std::size_t>(static_cast<const char*>(stop) - buffer.get());
        ended = true;
    }
    return end > 0;
}

bool SharedTextFile::ReadLine(std::string& line) {
    line.clear();
    bool extracted = false;
    while (begin < end || Refill()) {
        extracted = true;
        const char* start = buffer.get() + begin;
        const std::size_t available = end - begin;
        if (const void* feed = std::memchr(start, '\n', available)) {
            const auto length = static_cast<std::size_t>(static_cast<const char*>(feed) - start);
            line.append(start, length);
            begin += length + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        line.append(start, available);
        begin = end;
    }
    return extracted;
}

bool SharedTextFile::ReadLine(std::string_view& line, std::string& spill) {
    if (begin == end && !Refill())
        return false;
    const char* start = buffer.get() + begin;
    if (const void* feed = std::memchr(start, '\n', end - begin)) {
        auto length = static_cast<std::size_t>(static_cast<const char*>(feed) - start);
        begin += length + 1;
        if (length > 0 && start[length - 1] == '\r')
            --length;
        line = std::string_view(start, length);
        return true;
    }
    // The line goes on past the buffer: it is gathered in `spill`.
    if (!ReadLine(spill))
        return false;
    line = spill;
    return true;
}

std::string_view SharedTextFile::Ahead() {
    if (begin == end && !Refill())
        return {};
    return {buffer.get() + begin, end - begin};
}

void SharedTextFile::Skip(std::size_t count) {
    begin += count < end - begin ? count : end - begin;
}

} // namespace platform
