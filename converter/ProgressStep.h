#pragma once

// The run's progress bar shows activity, not a measure: every poll adds one step, and a
// step that would pass the end starts the bar over at the beginning.
inline constexpr int kProgressMinimum = 0;
inline constexpr int kProgressMaximum = 100;
inline constexpr int kProgressStep = 10;

int NextProgressPosition(int position);
