// Reading a raw data file as the import driver needs it: opened for reading with no sharing
// restriction (other programs may read and write it meanwhile), read in text mode, one line at a
// time. A line feed ends a line and is not stored; CR LF reads as LF; a CR not followed by LF
// stays; byte 26 ends the input; a last line without a line feed is kept. On POSIX the input is
// the file as long as it was when opened, so a file that another program keeps appending to
// still comes to an end.
#pragma once

#include "platform/NoCopy.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class SharedTextFile : NoCopy {
public:
    SharedTextFile() = default;
    ~SharedTextFile();

    // False when the path cannot be opened as a readable file (missing, no access, a directory;
    // on POSIX also anything that is not a regular file, so a FIFO or device never blocks).
    bool Open(const std::wstring& path);

    // The next line's bytes, without its line feed. False when a read extracts nothing: at the
    // end of the input or on a read error.
    bool ReadLine(std::string& line);
    // The same line as a view into the file's own buffer where the line lies whole in it (most
    // lines do, so they are never copied), else into `spill`. Valid until the next read.
    bool ReadLine(std::string_view& line, std::string& spill);

    // The bytes read ahead and not taken yet, read first when none are left, for a caller that
    // takes whole lines from them itself; empty at the end of the input, and where the
    // platform reads only line by line. Valid until the next read; Skip takes bytes from it.
    std::string_view Ahead();
    void Skip(std::size_t count);

    // The file's size when it was opened. No line list decodes to more characters than this
    // plus one, so it sizes the list's storage once (on POSIX nothing past it is ever read).
    std::uint64_t SizeAtOpen() const { return sizeAtOpen; }

private:
    std::uint64_t sizeAtOpen = 0;
#ifdef _WIN32
    std::FILE* stream = nullptr;
#else
    bool Refill();

    int fd = -1;
    bool ended = false;
    std::uint64_t unread = 0; // bytes of the file's size at the open not read yet
    std::unique_ptr<char[]> buffer;
    std::size_t begin = 0;
    std::size_t end = 0;
#endif
};

} // namespace platform
