#include "host/JobComments.h"

#include "platform/AnsiText.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

#include <cstring>

namespace host {
namespace {

// Reads a file's lines in the module's numbering and keeps its comments. Only comments are
// decoded: any other line costs the search for its end and one look at its first bytes.
class CommentReader {
public:
    explicit CommentReader(survey::JobComments& comments) : comments(comments) {}

    // A line without its line feed; the CR of a CR LF end is already dropped.
    void Line(std::string_view bytes) {
        if (survey::JobComments::MayBeComment(bytes))
            comments.Add(line, platform::EncodeUtf8(decoder.Convert(bytes)));
        ++line;
    }

    // The lines that end within `bytes`, taken where they lie; returns the bytes they took.
    std::size_t WholeLines(std::string_view bytes) {
        std::size_t taken = 0;
        while (const void* feed = std::memchr(bytes.data() + taken, '\n', bytes.size() - taken)) {
            const auto end = static_cast<std::size_t>(static_cast<const char*>(feed) - bytes.data());
            std::string_view text = bytes.substr(taken, end - taken);
            if (!text.empty() && text.back() == '\r')
                text.remove_suffix(1);
            Line(text);
            taken = end + 1;
        }
        return taken;
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
