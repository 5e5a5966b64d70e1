#include "skin/GradientRule.h"

namespace skin {

std::vector<Rgb> GradientSteps(Rgb from, Rgb to, int n)
{
    std::vector<Rgb> steps;
    if (n <= 0)
        return steps;
    steps.reserve(static_cast<std::size_t>(n));
    // Running sums instead of a multiplication per step, as the painted skins always did;
    // the sums stay within int for any height a window can have.
    int sumR = 0;
    int sumG = 0;
    int sumB = 0;
    for (int i = 0; i < n; ++i) {
        steps.push_back({from.r + sumR / n, from.g + sumG / n, from.b + sumB / n});
        sumR += to.r - from.r;
        sumG += to.g - from.g;
        sumB += to.b - from.b;
    }
    return steps;
}

}  // namespace skin
