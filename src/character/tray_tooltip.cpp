#include "character/tray_tooltip.h"

namespace {

const char kName[] = "QUVA";
const char kSeparator[] = " - ";
const char kCut[] = "...";

// The first length bytes of text, backed off so that no UTF-8 sequence is cut in two.
std::string Head(const std::string& text, size_t length)
{
    if (length >= text.size())
        return text;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return text.substr(0, length);
}

}  // namespace

std::string TrayTooltipText(size_t accountCount, size_t newCount, const std::string& failingServer,
                            const std::string& reason)
{
    std::string head = kName;
    if (accountCount == 0)
        return head + kSeparator + "no account";
    if (newCount > 0)
        head += kSeparator + std::to_string(newCount) + " new";
    if (reason.empty())
        return head;

    const size_t room = kMaxTrayTooltip - head.size() - (sizeof kSeparator - 1);
    const std::string tail = failingServer.empty() ? reason : ": " + reason;
    std::string text = failingServer + tail;
    if (text.size() > room) {
        // A long host name gives way first: the reason is what the user needs.
        const size_t cut = sizeof kCut - 1;
        if (!failingServer.empty() && tail.size() + cut + 1 <= room)
            text = Head(failingServer, room - tail.size() - cut) + kCut + tail;
        else
            text = Head(text, room - cut) + kCut;
    }
    return head + kSeparator + text;
}
