#include "character/character_motion.h"

#include "character/animation_catalog.h"

namespace {
constexpr int32_t kCursorOffsetWithMail = 10;
constexpr int32_t kCursorDistanceWithoutMail = 56;
constexpr uint32_t kSwitchChanceInterval = 30000;
}  // namespace

MotionPoint FollowTarget(MotionPoint cursor, bool newMailShown, const MotionRect& desktop, int32_t scale)
{
    const int32_t offset = kCursorOffsetWithMail * scale;
    if (newMailShown)
        return {cursor.x - offset, cursor.y - offset};
    const int32_t distance = kCursorDistanceWithoutMail * scale;
    const int32_t halfWidth = (desktop.right - desktop.left) / 2;
    const int32_t halfHeight = (desktop.bottom - desktop.top) / 2;
    MotionPoint target;
    target.x = cursor.x < halfWidth ? cursor.x + distance : cursor.x - distance;
    target.y = cursor.y < halfHeight ? cursor.y + distance : cursor.y - distance;
    return target;
}

int32_t EaseToward(int32_t target, int32_t current)
{
    // In 64 bits, so that no screen coordinate can overflow the sum.
    return static_cast<int32_t>((int64_t{target} + 7 * int64_t{current}) / 8);
}

MotionPoint EaseToward(MotionPoint target, MotionPoint current)
{
    return {EaseToward(target.x, current.x), EaseToward(target.y, current.y)};
}

MotionPoint GlideEnd(MotionPoint target, MotionPoint current)
{
    // Each step takes at least a pixel off any distance over 7, so 1000 steps cover any pair of
    // 32-bit coordinates; the bound only keeps the loop visibly finite.
    for (int step = 0; step < 1000; ++step) {
        const MotionPoint next = EaseToward(target, current);
        if (next.x == current.x && next.y == current.y)
            break;
        current = next;
    }
    return current;
}

void AdvanceAnimation(AnimationState& state, uint32_t& lastSwitchTick, const AnimationCatalog& catalog,
                      uint32_t now, const std::function<int()>& random)
{
    const bool cycleCompleted = catalog.StepFrame(state.animationIndex, state.frameCounter);
    if (cycleCompleted && now - lastSwitchTick > kSwitchChanceInterval) {
        lastSwitchTick = now;
        if (random() % 10 <= 1) {
            const int32_t next = state.animationIndex + 1;
            state.animationIndex = next >= catalog.AnimationCount() ? 0 : next;
        }
    }
    state.frameIndex = catalog.FrameIndexOf(state.animationIndex, state.frameCounter);
}
