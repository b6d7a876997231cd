// Rotated, scaled, colour-keyed and blended drawing of a source rectangle onto a destination.
#pragma once

#include <cstdint>

#include "platform/kernel/WinTypes.h"
#include "render/DXRMachine.h"

int32_t MulDivInt(int32_t a, int32_t b, int32_t c);

// The destination box of the rotated rectangle, clipped to Dest; False when it is empty.
bool RotatedBounds(const TDXRSurface& dest, int32_t x, int32_t y, int32_t width, int32_t height, double centerX,
                   double centerY, int32_t angle, int32_t& left, int32_t& top, int32_t& right, int32_t& bottom);

// The draws take the machine that compiles their routines: the program's is RenderMachine().
void SetupRotateMachine(TDXRMachine& machine, TDXRSurface& dest, TDXRSurface& src, TDXRBlendMode blend,
                        int32_t alpha, int32_t dU, int32_t dV, bool colorKeyEnable, uint32_t colorKey);

// Compiles the draw's routine and describes its rows in the machine, whose RunRows then draws
// them; false when nothing is drawn.
bool PrepareRotatedDraw(TDXRMachine& machine, TDXRSurface& dest, TDXRSurface& src, int32_t x, int32_t y,
                        int32_t width, int32_t height, const RECT& srcRect, double centerX, double centerY,
                        int32_t angle, TDXRBlendMode blend, int32_t alpha, bool colorKeyEnable, uint32_t colorKey);

// (x, y) is where the rotation centre lands; the angle is in 1/256 turns, clockwise on screen.
void DrawRotatedBlend(TDXRMachine& machine, TDXRSurface& dest, TDXRSurface& src, int32_t x, int32_t y,
                      int32_t width, int32_t height, const RECT& srcRect, double centerX, double centerY, int32_t angle,
                      TDXRBlendMode blend, int32_t alpha, bool colorKeyEnable, uint32_t colorKey);
