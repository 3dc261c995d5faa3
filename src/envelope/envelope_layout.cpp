#include "envelope/envelope_layout.h"

#include <algorithm>

TrailLayout::TrailLayout(TrailPoint cursor, TrailRect character, int32_t envelopeWidth,
                         int32_t envelopeHeight)
{
    const int32_t centerX = (character.left + character.right) / 2;
    const int32_t centerY = (character.top + character.bottom) / 2;
    if (cursor.x < centerX) {
        x = character.right - 3;
        dx = envelopeWidth / 2;
    } else {
        x = character.left - envelopeWidth + 3;
        dx = -(envelopeWidth / 2);
    }
    if (cursor.y < centerY) {
        y = character.bottom - 3;
        dy = envelopeHeight / 2;
    } else {
        y = character.top - envelopeHeight + 3;
        dy = -(envelopeHeight / 2);
    }
}

TrailPoint TrailLayout::Next(int (*random)())
{
    const int32_t jitterX = JitterFrom(random());
    const int32_t jitterY = JitterFrom(random());
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
