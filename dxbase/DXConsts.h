// The message texts the component layer raises with; the "%s" and "%d" placeholders are filled
// by Format.
#pragma once

inline constexpr const char* MsgNotMade = "%s not made";
inline constexpr const char* MsgCannotBeMade = "%s cannot be made";
inline constexpr const char* MsgCannotBeInitialized = "%s cannot be initialized";
inline constexpr const char* MsgNotLoaded = "%s is not loaded";
inline constexpr const char* MsgFormNotFound = "Form not found";
inline constexpr const char* MsgRequiresDirectX6 = "Requires DirectX 6.0 or later";
inline constexpr const char* MsgRequiresDirectX7 = "Requires DirectX 7.0 or later";
inline constexpr const char* Msg3DDeviceNotFound = "3D device not found";
inline constexpr const char* MsgDisplayModeNotChanged = "Display mode cannot be changed (%dx%d %dbit)";
inline constexpr const char* MsgInvalidDIB = "DIB is invalid";
inline constexpr const char* MsgInvalidBitCount = "Bitcount in invalid (%d)";
inline constexpr const char* MsgInvalidPixelFormat = "PixelFormat in invalid";
inline constexpr const char* MsgDisplayBitCount = "Display requires 8, 16, 24 or 32 bits";
inline constexpr const char* MsgMouseNeedsDirectInput = "DirectInput is required for mouse support";
inline constexpr const char* MsgInvalidDXTFile = "DXT file is invalid";
inline constexpr const char* MsgCannotLoadGraphic = "Can not load graphic";

// Object names filled into the texts above.
inline constexpr const char* ObjNameDirectDraw = "DirectDraw";
inline constexpr const char* ObjNameRetainedMode = "Direct3D RetainedMode";
inline constexpr const char* ObjNameClipper = "Clipper";
inline constexpr const char* ObjNameSurface = "Surface";
inline constexpr const char* ObjNamePrimarySurface = "Primary Surface";
inline constexpr const char* ObjNameTexture = "Texture";
