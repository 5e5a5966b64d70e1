#include "converter/ProgressStep.h"

int NextProgressPosition(int position)
{
    if (position < kProgressMinimum)
        position = kProgressMinimum;
    const int next = position + kProgressStep;
    return next > kProgressMaximum ? kProgressMinimum : next;
}
