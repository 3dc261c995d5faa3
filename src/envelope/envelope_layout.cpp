#include "envelope/envelope_layout.h"

#include <algorithm>

namespace {

// Where the trail starts on one axis and which way it steps: away from the cursor's side of
// the character, the centre line counting as the right or lower side.
void StartAndStep(int32_t cursor, int32_t low, int32_t high, int32_t size, int32_t overlap, int32_t& start,
                  int32_t& step)
{
    if (cursor < (low + high) / 2) {
        start = high - overlap;
        step = size / 2;
    } else {
        start = low - size + overlap;
        step = -(size / 2);
    }
}

}  // namespace

TrailLayout::TrailLayout(TrailPoint cursor, TrailRect character, int32_t envelopeWidth,
                         int32_t envelopeHeight, int32_t scale)
    : scale(scale)
{
    const int32_t overlap = 3 * scale;
    StartAndStep(cursor.x, character.left, character.right, envelopeWidth, overlap, x, dx);
    StartAndStep(cursor.y, character.top, character.bottom, envelopeHeight, overlap, y, dy);
}

TrailPoint TrailLayout::Next(int (*random)())
{
    const int32_t jitterX = JitterFrom(random()) * scale;
    const int32_t jitterY = JitterFrom(random()) * scale;
    const TrailPoint corner{x + jitterX, y + jitterY};
    x += dx;
    y += dy;
    return corner;
}

int32_t JitterFrom(int draw)
{
    return (draw % 3) * 2 - 2;
}

std::vector<int32_t> WantedEnvelopeColors(const std::vector<AccountMailCount>& accounts)
{
    std::vector<int32_t> colors;
    for (const AccountMailCount& account : accounts)
        colors.insert(colors.end(), std::min(account.newCount, kMaxEnvelopesPerAccount), account.color);
    return colors;
}
