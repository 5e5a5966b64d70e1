#pragma once
#include <vector>

namespace skin {

// A colour as the skin computes it: plain integer channels, no toolkit involved.
struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The n colours of a gradient from `from` towards `to`: step i takes, per channel,
// from + ((to - from) * i) / n with the division truncating toward zero, so the last
// step stays one short of `to`. Empty when n <= 0.
std::vector<Rgb> GradientSteps(Rgb from, Rgb to, int n);

}  // namespace skin
