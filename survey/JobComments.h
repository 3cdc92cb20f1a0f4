// The job facts a file states in its "CO" comments, which the module does not pass on: how the
// instrument counted vertical angles, what its circle readings are, where azimuths start, and the
// distance unit's exact words. The last comment of each kind before a line applies at that line.
#pragma once

#include "survey/Survey.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace survey {

class JobComments {
public:
    // `lines` are the file's lines in order, decoded to UTF-8 as the module decodes them.
    static JobComments Read(const std::vector<std::string>& lines);
    // One line of the file, after those before it; a line that is no comment changes nothing.
    void Add(int line, std::string_view text);
    // Whether a line's raw bytes may be a comment, before they are decoded. Asked of every line
    // of a file, most of which begin with their record's name: a first byte that is printable and
    // no C settles it without a call.
    static bool MayBeComment(std::string_view bytes) {
        if (!bytes.empty() && bytes[0] > ' ' && bytes[0] != 'C')
            return false;
        return StartsComment(bytes);
    }

    // The facts in force at a line, from the comments above it; at the end of the file for none.
    JobFacts FactsAt(Line line) const;
    const JobHeader& Header() const { return header_; }

private:
    static bool StartsComment(std::string_view bytes);

    JobHeader header_;
    JobFacts facts_;
    bool afterFormatLine_ = false;
    // The facts after each comment that changed them, by that comment's line.
    std::vector<std::pair<int, JobFacts>> changes_;
};

} // namespace survey
