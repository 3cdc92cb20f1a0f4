// Output gathered into one block and written to a stream a block at a time: the writers put out
// many short pieces, each too small to be worth a call into the stream.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <ostream>
#include <string_view>

namespace host {

class BufferedOutput {
public:
    using Ch = char; // the character type RapidJSON's writers ask of a stream

    // `out` must outlive this buffer.
    explicit BufferedOutput(std::ostream& out, std::size_t capacity = kDefaultCapacity)
        : out(out), capacity(capacity), block(new char[capacity]) {}
    BufferedOutput(const BufferedOutput&) = delete;
    BufferedOutput& operator=(const BufferedOutput&) = delete;
    ~BufferedOutput() { WriteOut(); }

    void Put(char c) {
        if (used == capacity)
            WriteOut();
        block[used++] = c;
    }

    void Write(std::string_view text) {
        if (text.size() > capacity - used)
            WriteOut();
        if (text.size() > capacity) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            return;
        }
        std::memcpy(block.get() + used, text.data(), text.size());
        used += text.size();
    }

    void PutRepeated(char c, std::size_t count) {
        // An indentation is short: a fixed-size run, of which only `count` is kept, fills it
        // without a call into the library.
        if (count <= kShortRun && kShortRun <= capacity - used) {
            std::memset(block.get() + used, c, kShortRun);
            used += count;
            return;
        }
        while (count > 0) {
            if (used == capacity)
                WriteOut();
            const std::size_t run = std::min(count, capacity - used);
            std::memset(block.get() + used, c, run);
            used += run;
            count -= run;
        }
    }

    // Room for `count` characters straight in the block, for a writer that lays out an item in
    // place with one check of the space left; Commit then keeps what it wrote. The block grows
    // for an item larger than it.
    char* Room(std::size_t count) {
        if (count > capacity - used)
            MakeRoom(count);
        return block.get() + used;
    }
    // `end` is where the writing in Room's space stopped.
    void Commit(const char* end) { used = static_cast<std::size_t>(end - block.get()); }

    static constexpr std::size_t kShortRun = 32;

    // Makes room for `count` characters at once when a block can hold them.
    void Reserve(std::size_t count) {
        if (count > capacity - used && count <= capacity)
            WriteOut();
    }

    // RapidJSON's writers call this at the end of every document; the block is written when
    // full or on WriteOut instead, so that a line-per-document log stays buffered.
    void Flush() {}

    // Hands what is gathered to the stream and flushes it.
    void WriteOut() {
        if (used > 0)
            out.write(block.get(), static_cast<std::streamsize>(used));
        used = 0;
        out.flush();
    }

private:
    static constexpr std::size_t kDefaultCapacity = 1 << 16;

    void MakeRoom(std::size_t count) {
        WriteOut();
        if (count <= capacity)
            return;
        block = std::make_unique<char[]>(count);
        capacity = count;
    }

    std::ostream& out;
    std::size_t capacity;
    std::unique_ptr<char[]> block;
    std::size_t used = 0;
};

// RapidJSON's writers reserve room before a run of characters and then put them one by one;
// found by argument-dependent lookup, these replace its generic ones, which would call Put.
inline void PutReserve(BufferedOutput& out, std::size_t count) {
    out.Reserve(count);
}
inline void PutUnsafe(BufferedOutput& out, char c) {
    out.Put(c);
}
inline void PutN(BufferedOutput& out, char c, std::size_t count) {
    out.PutRepeated(c, count);
}

} // namespace host
