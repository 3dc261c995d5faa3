#pragma once
// The character's animations: which frame bitmaps exist and how the frames are stepped.
// The catalogue is filled once at start-up and read-only afterwards.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Answers whether a bitmap resource of this name exists.
using BitmapExists = std::function<bool(const std::string& name)>;

struct AnimationCatalog {
    // Resource names of all frames, animation after animation; the position is the frame index.
    std::vector<std::string> frameNames;
    // Per animation: the frame index of its first frame, and its number of frames.
    std::vector<std::uint32_t> firstFrame;
    std::vector<std::uint32_t> frameCount;

    // Appends the animation whose frames are prefix000, prefix001, ... up to the first number
    // for which no bitmap exists. An animation without frames is still appended (count 0).
    void AppendAnimation(const std::string& prefix, const BitmapExists& exists);

    int AnimationCount() const;
    // Advances the frame counter of an animation; true when it has just wrapped to 0, i.e. the
    // animation completed a cycle. An empty or unknown animation wraps at every step.
    bool StepFrame(int animation, std::uint32_t& counter) const;
    // The frame index of frame `counter` of the animation; -1 for an unknown animation, so the
    // frame lookups find no bitmap.
    int FrameIndexOf(int animation, std::uint32_t counter) const;
    // An animation chosen by a random number: 0 when there are none, so nothing divides by zero.
    int AnimationFromRandom(int random) const;
};

// The string-table id of the prefix of the animation that is loaded.
extern int AnimationStringId;

// The process-wide catalogue and the operations on it that the character window uses.
extern AnimationCatalog animationCatalog;
int AnimationCount();
bool StepFrame(int animation, std::uint32_t& counter);
int FrameIndexOf(int animation, std::uint32_t counter);

// "%s%03d": the prefix followed by the number in at least three digits.
std::string FrameName(const std::string& prefix, int number);
