#pragma once
// The arithmetic of the character's movement and animation, apart from the
// window calls so that it can be checked with plain numbers.
#include <cstdint>
#include <functional>

struct AnimationCatalog;

struct MotionPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// Left, top, right, bottom in screen coordinates.
struct MotionRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Where the character heads for. With new mail it sits just above and left of the cursor, so a
// click acknowledges the mail; without, it keeps 56 pixels off the cursor on each axis, toward
// the middle of the desktop (a cursor on a middle line counts as right or lower half). The
// distances are pixels of the art, scale screen pixels each, so the cursor keeps landing on
// the same spot of the character at any scale.
MotionPoint FollowTarget(MotionPoint cursor, bool newMailShown, const MotionRect& desktop, int32_t scale = 1);

// One step of the glide: an eighth of the remaining distance, truncated toward zero.
int32_t EaseToward(int32_t target, int32_t current);
MotionPoint EaseToward(MotionPoint target, MotionPoint current);
// Where the glide from current comes to rest: the steps repeated until they move no more.
MotionPoint GlideEnd(MotionPoint target, MotionPoint current);

// What the character is playing.
struct AnimationState {
    int32_t animationIndex = 0;  // the animation
    uint32_t frameCounter = 0;   // frame number within it
    int32_t frameIndex = 0;      // the frame shown: an index into the catalogue, -1 for none
};

// Advances one frame. When the animation has just completed a cycle and more than 30 s have
// passed since lastSwitchTick, the chance restarts that clock and, two times in ten, moves on
// to the next animation (after the last comes the first). random is drawn only then.
void AdvanceAnimation(AnimationState& state, uint32_t& lastSwitchTick, const AnimationCatalog& catalog,
                      uint32_t now, const std::function<int()>& random);
