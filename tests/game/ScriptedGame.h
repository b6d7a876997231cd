// A game that plays the same way every time: the manual clock started at a fixed time, a frame
// every 33 ms, and a scripted player that turns, thrusts, brakes and fires in fixed windows of
// frames. The determinism test and the whole-frame benchmark both play it.
#pragma once

#include <cstdint>

// The time of day the clock starts at (12:34:56.789), which seeds the game's random numbers.
inline constexpr uint32_t kScriptedClockStart = 45296789;

// Starts the manual clock at kScriptedClockStart; call before the main form is shown.
void StartScriptedClock();

// Before the game runs `frame` (counted from 1): the clock moves on a tick, and the keys the
// script holds in that frame are held and the others released.
void PrepareScriptedFrame(int frame);

// One frame of the scripted game: PrepareScriptedFrame, then the game's frame.
void PlayScriptedFrame(int frame);

// A hash of the last presented frame, and one of every value of the game state.
uint64_t HashPresentedFrame();
uint64_t HashGameState();
