// Locking a DirectDraw surface and describing its pixels for the renderer.
#pragma once

#include "platform/ddraw/DDraw.h"
#include "render/DXRSurface.h"

// Describes the pixels of a locked surface from its description.
void DescribeLockedSurface(const DDSURFACEDESC& desc, TDXRSurface& dest);

bool LockSurfaceDesc(IDirectDrawSurface* surface, DDSURFACEDESC& desc, TDXRSurface& dest);
bool LockSurface(IDirectDrawSurface* surface, TDXRSurface& dest);
void UnlockSurface(IDirectDrawSurface* surface, const TDXRSurface& dest);
