// The rotated colour-keyed sprite draw as a plain loop, the yardstick of the compiled routine.
#pragma once

#include <cstdint>

struct ScalarImage {
  uint32_t* pixels;
  int32_t width, height;
  int32_t pitch;  // in pixels
};

// Draws all of `src` scaled to width x height, turned by angle (1/256 turns) about its centre,
// which lands on (x, y); texels whose colour bits equal `key` are skipped.
void ScalarRotatedDraw(const ScalarImage& dest, const ScalarImage& src, int32_t x, int32_t y, int32_t width,
                       int32_t height, int32_t angle, uint32_t key);
