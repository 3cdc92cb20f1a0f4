#include "host/JobComments.h"

#include "platform/AnsiText.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace host {

survey::JobComments ReadJobComments(const std::wstring& path) {
    survey::JobComments comments;
    platform::SharedTextFile file;
    if (!file.Open(path))
        return comments;
    const platform::AnsiLineDecoder decoder;
    std::string bytes;
    // Only comments are decoded: a file's other lines cost one look at their first bytes.
    for (int line = 0; file.ReadLine(bytes); ++line) {
        if (survey::JobComments::MayBeComment(bytes))
            comments.Add(line, platform::EncodeUtf8(decoder.Convert(bytes)));
    }
    return comments;
}

} // namespace host
