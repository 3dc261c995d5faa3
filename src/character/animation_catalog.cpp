#include "character/animation_catalog.h"

#include <cstdio>

int AnimationStringId = 161;
AnimationCatalog animationCatalog;

std::string FrameName(const std::string& prefix, int number)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", number);
    return prefix + digits;
}

void AnimationCatalog::AppendAnimation(const std::string& prefix, const BitmapExists& exists)
{
    firstFrame.push_back(static_cast<std::uint32_t>(frameNames.size()));
    std::uint32_t found = 0;
    // The bound only keeps a probe that answers yes to everything from looping forever.
    for (int number = 0; number < 10000; ++number) {
        const std::string name = FrameName(prefix, number);
        if (!exists(name))
            break;
        frameNames.push_back(name);
        ++found;
    }
    frameCount.push_back(found);
}

int AnimationCatalog::AnimationCount() const
{
    return static_cast<int>(firstFrame.size());
}

bool AnimationCatalog::StepFrame(int animation, std::uint32_t& counter) const
{
    const std::uint32_t count =
        animation >= 0 && animation < AnimationCount() ? frameCount[static_cast<std::size_t>(animation)] : 0;
    ++counter;
    if (counter < count)
        return false;
    counter = 0;
    return true;
}

int AnimationCatalog::FrameIndexOf(int animation, std::uint32_t counter) const
{
    if (animation < 0 || animation >= AnimationCount())
        return -1;
    return static_cast<int>(firstFrame[static_cast<std::size_t>(animation)] + counter);
}

int AnimationCatalog::AnimationFromRandom(int random) const
{
    const int count = AnimationCount();
    if (count == 0 || random < 0)
        return 0;
    return random % count;
}

int AnimationCount()
{
    return animationCatalog.AnimationCount();
}

bool StepFrame(int animation, std::uint32_t& counter)
{
    return animationCatalog.StepFrame(animation, counter);
}

int FrameIndexOf(int animation, std::uint32_t counter)
{
    return animationCatalog.FrameIndexOf(animation, counter);
}
