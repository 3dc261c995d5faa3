#pragma once
// Where the envelopes go: a diagonal trail leaving the character on the side away from the
// cursor, and which colours the trail holds.
#include <cstddef>
#include <cstdint>
#include <vector>

struct TrailPoint {
    int32_t x;
    int32_t y;
};

// A window rectangle in screen coordinates; right and bottom are exclusive.
struct TrailRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Places the envelopes of one layout pass, nearest the character first. The first overlaps
// the character's corner opposite the cursor by 3 pixels on each axis; each further one is
// half an envelope further away. A cursor exactly on a centre line counts as right or below.
// On a screen where the art is drawn at a scale, the overlap and the jitter are pixels of the
// art: the trail keeps its look at any size.
class TrailLayout {
public:
    TrailLayout(TrailPoint cursor, TrailRect character, int32_t envelopeWidth, int32_t envelopeHeight,
                int32_t scale = 1);

    // The top-left corner of the next envelope, jittered by -2, 0 or +2 pixels of the art on
    // each axis; random is called twice, for x first. Allocates nothing: this runs at every
    // move of the character.
    TrailPoint Next(int (*random)());

private:
    int32_t scale;
    int32_t x;
    int32_t y;
    int32_t dx;
    int32_t dy;
};

// -2, 0 or +2 from one draw of the random source.
int32_t JitterFrom(int draw);

// One account's share of the trail: its colour index and its number of new messages.
struct AccountMailCount {
    int32_t color;
    size_t newCount;
};

// No account shows more envelopes than this, however much new mail it holds.
constexpr size_t kMaxEnvelopesPerAccount = 5;

// The colour of every envelope the trail should hold, nearest the character first: each
// account in order, once per new message up to the limit.
std::vector<int32_t> WantedEnvelopeColors(const std::vector<AccountMailCount>& accounts);
