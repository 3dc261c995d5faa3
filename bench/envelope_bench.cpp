// Prints what one envelope paint's recolouring and one trail layout step cost.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "envelope/envelope_layout.h"
#include "envelope/recolor.h"

namespace {

using Clock = std::chrono::steady_clock;

double NanosecondsPer(Clock::duration elapsed, long count)
{
    return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(count);
}

}  // namespace

int main()
{
    constexpr long kRounds = 200000;

    // The shipped image: 26 x 21, about half of it body red.
    std::vector<uint32_t> image(26 * 21);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = PixelFromColorRef(i % 2 ? kEnvelopeBodyColor : 0x000000);
    std::vector<uint32_t> pixels;
    const Clock::time_point recolorStart = Clock::now();
    for (long round = 0; round < kRounds; ++round) {
        pixels = image;  // an unrecoloured image each time, as each paint starts from one
        RecolorEnvelopeBody(pixels.data(), pixels.size(), static_cast<int32_t>(round % 10));
    }
    const Clock::duration recolor = Clock::now() - recolorStart;

    long checksum = 0;
    const Clock::time_point layoutStart = Clock::now();
    for (long round = 0; round < kRounds; ++round) {
        TrailLayout layout({50, 60}, {100, 100, 133, 141}, 26, 21);
        for (int envelope = 0; envelope < 10; ++envelope)
            checksum += layout.Next(std::rand).x;
    }
    const Clock::duration layout = Clock::now() - layoutStart;

    std::printf("recolour of a 26x21 envelope (with the copy of the image): %.0f ns\n",
                NanosecondsPer(recolor, kRounds));
    std::printf("trail layout, per envelope (two rand() calls): %.1f ns (checksum %ld)\n",
                NanosecondsPer(layout, kRounds * 10), checksum);
    return 0;
}
