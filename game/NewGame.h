// A new game: the pictures, the screen layout from "aufloesung.cfg", and a random world.
#pragma once

#include "runtime/SysUtils.h"

// One row of the screen layouts "aufloesung.cfg" chooses from.
struct TScreenLayout {
  Integer ScreenWidth, ScreenHeight, ViewRange, CenterX, CenterY, RadarTop, RadarLeftAdjust;
};
inline constexpr Integer ScreenLayoutCount = 5;
extern const TScreenLayout ScreenLayouts[ScreenLayoutCount];

// Seeds the random generator with the milliseconds of the current day (UTC).
void SeedFromClock();

// Loads the pictures, resets the player and the tables, reads the layout and re-initialises the
// display at its size.
void InitGame();
// Reads the layout number from the first line of "aufloesung.cfg"; a number outside the table
// leaves the layout as it was.
void ReadConfig();
void InitStars();
void InitBonus();
void SpawnShips();
