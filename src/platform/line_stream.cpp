#include "platform/line_stream.h"

TakeLineResult TakeLine(std::string& pending, std::string& line, size_t maxLength,
                        size_t& searchFrom)
{
    const size_t end = pending.find("\r\n", searchFrom);
    if (end != std::string::npos) {
        if (end + 2 > maxLength)
            return TakeLineResult::TooLong;
        line.assign(pending, 0, end + 2);
        pending.erase(0, end + 2);
        searchFrom = 0;
        return TakeLineResult::Taken;
    }
    if (pending.size() >= maxLength)
        return TakeLineResult::TooLong;
    // A CR at the very end may be followed by its LF in the next bytes.
    searchFrom = pending.empty() ? 0 : pending.size() - 1;
    return TakeLineResult::NeedMore;
}

void TakeLastWords(std::string& pending, std::string& line)
{
    line.swap(pending);
    pending.clear();
}
