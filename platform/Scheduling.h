#pragma once

namespace platform {

// How much lower than the window's thread background work runs (nice steps).
inline constexpr int kBackgroundNice = 10;

// Lowers the calling thread alone by kBackgroundNice, as far as the system allows. On a
// machine kept busy by many transfers the window's thread then gets the processor as soon
// as it has something to do, instead of waiting behind every transfer's turn.
void LowerThreadPriority();
// The calling thread's nice value.
int ThreadNice();

// Lets every thread allocate from a heap of its own, so that the window's thread never
// waits for a heap lock that a lowered thread took before it was preempted. Call once,
// before any thread starts.
void SeparateThreadHeaps();

}  // namespace platform
