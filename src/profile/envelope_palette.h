#pragma once
// The envelope colours, one per account colour index (the profile's COLOR): the notifier paints
// its envelopes in them and the settings program shows them. Values are colour references laid
// out as 0x00BBGGRR, as the GDI takes them.
#include <array>
#include <cstdint>

using ColorRef = uint32_t;

// The envelope image's body is drawn in pure red; recolouring replaces exactly that colour.
constexpr ColorRef kEnvelopeBodyColor = 0x0000FF;

extern const std::array<ColorRef, 10> EnvelopePalette;

// The colour an envelope of this account colour index is painted in. An index the palette
// has no entry for (the settings may hold -1 or anything else) keeps the image's own colour.
ColorRef EnvelopeColor(int32_t colorIndex);
