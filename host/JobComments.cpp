#include "host/JobComments.h"

#include "platform/AnsiText.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace host {
namespace {

#if defined(__SSE2__)
// A bit for each line feed among the 16 bytes at `bytes`.
std::uint32_t FeedsOf16(const char* bytes) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8('\n'))));
}
#endif

// Calls `each` with the place of every line feed in `bytes`, in order. Where SSE2 is at hand, the
// feeds of 32 bytes are found at once: most bytes of a job are no feed, and a search per line
// costs more than the line's bytes.
template <class Each> void ForEachFeed(std::string_view bytes, Each each) {
    std::size_t at = 0;
#if defined(__SSE2__)
    constexpr std::size_t kBlock = 32;
    for (; bytes.size() - at >= kBlock; at += kBlock) {
        for (std::uint32_t feeds = FeedsOf16(bytes.data() + at) | FeedsOf16(bytes.data() + at + 16) << 16;
             feeds != 0; feeds &= feeds - 1)
            each(at + static_cast<std::size_t>(__builtin_ctz(feeds)));
    }
#endif
    for (; at < bytes.size(); ++at) {
        if (bytes[at] == '\n')
            each(at);
    }
}

std::string_view WithoutCarriageReturn(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// Reads a file's lines in the module's numbering and keeps its comments. Only comments are
// decoded: any other line costs the search for its end and one look at its first bytes.
class CommentReader {
public:
    explicit CommentReader(survey::JobComments& comments) : comments(comments) {}

    // The lines that end within `bytes`, taken where they lie; returns the bytes they took. Most
    // lines are told to be no comment by their first byte.
    std::size_t WholeLines(std::string_view bytes) {
        std::size_t start = 0;
        ForEachFeed(bytes, [&](std::size_t feed) {
            const std::string_view text(bytes.data() + start, feed - start);
            if (survey::JobComments::MayBeComment(text))
                Line(WithoutCarriageReturn(text));
            else
                ++line;
            start = feed + 1;
        });
        return start;
    }

    // A line without its line feed; the CR of a CR LF end is already dropped. Out of line, so
    // that the search for line feeds, which comes here for few lines, keeps its values in registers.
    [[gnu::noinline]] void Line(std::string_view bytes) {
        if (survey::JobComments::MayBeComment(bytes))
            comments.Add(line, platform::EncodeUtf8(decoder.Convert(bytes)));
        ++line;
    }

private:
    survey::JobComments& comments;
    const platform::AnsiLineDecoder decoder;
    int line = 0;
};

} // namespace

survey::JobComments ReadJobComments(const std::wstring& path) {
    survey::JobComments comments;
    platform::SharedTextFile file;
    if (!file.Open(path))
        return comments;
    CommentReader reader(comments);
    std::string_view bytes;
    std::string spill; // for a line that a buffer's end cuts, and where lines come one by one
    for (;;) {
        const std::string_view ahead = file.Ahead();
        if (const std::size_t taken = ahead.empty() ? 0 : reader.WholeLines(ahead)) {
            file.Skip(taken);
            continue;
        }
        if (!file.ReadLine(bytes, spill))
            return comments;
        reader.Line(bytes);
    }
}

} // namespace host
