// Pixel formats of surfaces: the display's formats by bit count, checking formats callers ask
// for, and what a colour key and a format comparison look at.
#pragma once

#include "platform/ddraw/DDraw.h"

// An RGB format with these channel masks; an alpha mask also marks the format as carrying alpha.
DDPIXELFORMAT RgbPixelFormat(uint32_t bitCount, DWORD red, DWORD green, DWORD blue,
                             DWORD alpha = 0);

// The format the display uses at a bit count: 8-bit palette-indexed, 16-bit 5-6-5, 24- and
// 32-bit 8-8-8 without alpha. Zero format for other counts.
DDPIXELFORMAT DisplayPixelFormat(uint32_t bitCount);

// Checks a format given with a surface description and completes it (size, default masks).
// Accepted: 1-, 4- and 8-bit palette-indexed; RGB at 16, 24 and 32 bits with or without alpha;
// depth buffers of 16, 24 and 32 bits. Anything else is DDERR_INVALIDPIXELFORMAT.
HRESULT CompletePixelFormat(DDPIXELFORMAT& format);

// A depth-buffer format of the given depth (16, 24 or 32; 24-bit depth is stored in 32 bits).
DDPIXELFORMAT DepthPixelFormat(uint32_t depth);

uint32_t BitsPerPixel(const DDPIXELFORMAT& format);
// Rounded up: 1 for the 1- and 4-bit formats.
uint32_t BytesPerPixel(const DDPIXELFORMAT& format);
// The 1- and 4-bit formats, whose pixels share bytes: surfaces of them are plain memory to lock
// and draw on through a device context, never blitted, filled, presented or textured.
bool PacksPixelsIntoBytes(const DDPIXELFORMAT& format);

// The pixel bits that carry colour (or index, or depth): what a colour key compares.
DWORD SignificantBits(const DDPIXELFORMAT& format);

bool IsPaletteIndexed(const DDPIXELFORMAT& format);

// Blits copy pixels unconverted, so their surfaces must agree in these.
bool SamePixelLayout(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b);
