// DirectInput: the system keyboard, the system mouse and the attached joysticks, read from the
// host's key state, pointer and joystick table, with force-feedback effects on joysticks.
//
// Devices report through a data format the caller gives: each format object picks one object of
// the device (by type GUID, type bits and instance) and names the byte offset of its value in the
// state block. A device's own object offsets (what EnumObjects reports) are the offsets of the
// standard state blocks: the scan code for keys, DIMOUSESTATE for the mouse and DIJOYSTATE2 for
// joysticks, so a format built from a device's objects reads into those records.
//
// Acquisition follows the cooperative level: a device bound to a window in the foreground level
// is acquired only while that window is the foreground window, and loses its acquisition (one
// DIERR_INPUTLOST, then DIERR_NOTACQUIRED) as soon as another window or program takes over.
// Exclusive access to a mouse or joystick is held by one device object at a time.
//
// Records accept the size values of the 32-bit originals (24, 16, 44, 56, ...) in dwSize as well
// as their own sizeof here, which differs where a record holds a pointer.
#pragma once

#include "platform/kernel/WinTypes.h"

// ---------------------------------------------------------------------------------------------
// Result codes.

constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DI_NOTATTACHED = S_FALSE;
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DI_PROPNOEFFECT = S_FALSE;
constexpr HRESULT DI_DOWNLOADSKIPPED = 3;
constexpr HRESULT DI_EFFECTRESTARTED = 4;

constexpr HRESULT DIERR_GENERIC = E_FAIL;
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
constexpr HRESULT DIERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DIERR_NOTFOUND = static_cast<HRESULT>(0x80070002);
constexpr HRESULT DIERR_OBJECTNOTFOUND = DIERR_NOTFOUND;
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000C);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001E);
constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AA);
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047E);
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = static_cast<HRESULT>(0x80070481);
constexpr HRESULT DIERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT DIERR_NOTDOWNLOADED = static_cast<HRESULT>(0x80040203);
constexpr HRESULT DIERR_NOTEXCLUSIVEACQUIRED = static_cast<HRESULT>(0x80040205);
constexpr HRESULT DIERR_INCOMPLETEEFFECT = static_cast<HRESULT>(0x80040206);

// ---------------------------------------------------------------------------------------------
// Identities: interfaces, devices, object types and effects.

constexpr GUID IID_IDirectInput = {
    0x89521360, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID IID_IDirectInputDevice = {
    0x5944E680, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID IID_IDirectInputDevice2 = {
    0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID IID_IDirectInputEffect = {
    0xE7E1F7C0, 0x88D2, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};

// The system devices, and the first attached joystick.
constexpr GUID GUID_SysMouse = {
    0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID GUID_SysKeyboard = {
    0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID GUID_Joystick = {
    0x6F1D2B70, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Object types. Inline variables: data formats point at them, so each has one address.
inline constexpr GUID GUID_XAxis = {
    0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_YAxis = {
    0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_ZAxis = {
    0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RxAxis = {
    0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RyAxis = {
    0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RzAxis = {
    0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Slider = {
    0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Button = {
    0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Key = {
    0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_POV = {
    0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Unknown = {
    0xA36D02F3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Effects.
constexpr GUID GUID_ConstantForce = {
    0x13541C20, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
constexpr GUID GUID_RampForce = {
    0x13541C21, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
constexpr GUID GUID_Square = {
    0x13541C22, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
constexpr GUID GUID_Sine = {
    0x13541C23, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
constexpr GUID GUID_Triangle = {
    0x13541C24, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
constexpr GUID GUID_SawtoothUp = {
    0x13541C25, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
constexpr GUID GUID_SawtoothDown = {
    0x13541C26, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
constexpr GUID GUID_Spring = {
    0x13541C27, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
constexpr GUID GUID_Damper = {
    0x13541C28, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
constexpr GUID GUID_Inertia = {
    0x13541C29, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
constexpr GUID GUID_Friction = {
    0x13541C2A, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};

// ---------------------------------------------------------------------------------------------
// Flags and values.

constexpr DWORD DIRECTINPUT_VERSION = 0x0700;

constexpr BOOL DIENUM_STOP = 0;
constexpr BOOL DIENUM_CONTINUE = 1;

// Cooperative levels: one of exclusive/non-exclusive and one of foreground/background.
constexpr DWORD DISCL_EXCLUSIVE = 0x00000001;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x00000002;
constexpr DWORD DISCL_FOREGROUND = 0x00000004;
constexpr DWORD DISCL_BACKGROUND = 0x00000008;

// Device types: the kind in the low byte, the sub-type in the next, then attributes.
constexpr DWORD DIDEVTYPE_DEVICE = 1;
constexpr DWORD DIDEVTYPE_MOUSE = 2;
constexpr DWORD DIDEVTYPE_KEYBOARD = 3;
constexpr DWORD DIDEVTYPE_JOYSTICK = 4;
constexpr DWORD DIDEVTYPE_HID = 0x00010000;
constexpr DWORD DIDEVTYPEMOUSE_TRADITIONAL = 2;
constexpr DWORD DIDEVTYPEKEYBOARD_PCENH = 4;
constexpr DWORD DIDEVTYPEJOYSTICK_TRADITIONAL = 2;
constexpr DWORD GET_DIDEVICE_TYPE(DWORD devType) { return devType & 0xFF; }

// EnumDevices.
constexpr DWORD DIEDFL_ALLDEVICES = 0x00000000;
constexpr DWORD DIEDFL_ATTACHEDONLY = 0x00000001;
constexpr DWORD DIEDFL_FORCEFEEDBACK = 0x00000100;

// Device capabilities.
constexpr DWORD DIDC_ATTACHED = 0x00000001;
constexpr DWORD DIDC_POLLEDDEVICE = 0x00000002;
constexpr DWORD DIDC_FORCEFEEDBACK = 0x00000100;
constexpr DWORD DIDC_FFATTACK = 0x00000200;
constexpr DWORD DIDC_FFFADE = 0x00000400;
constexpr DWORD DIDC_POSNEGCOEFFICIENTS = 0x00001000;

// Object types: the kind bits, the instance number in bits 8 to 23, then attributes.
constexpr DWORD DIDFT_ALL = 0x00000000;
constexpr DWORD DIDFT_RELAXIS = 0x00000001;
constexpr DWORD DIDFT_ABSAXIS = 0x00000002;
constexpr DWORD DIDFT_AXIS = 0x00000003;
constexpr DWORD DIDFT_PSHBUTTON = 0x00000004;
constexpr DWORD DIDFT_TGLBUTTON = 0x00000008;
constexpr DWORD DIDFT_BUTTON = 0x0000000C;
constexpr DWORD DIDFT_POV = 0x00000010;
constexpr DWORD DIDFT_COLLECTION = 0x00000040;
constexpr DWORD DIDFT_NODATA = 0x00000080;
constexpr DWORD DIDFT_ANYINSTANCE = 0x00FFFF00;
constexpr DWORD DIDFT_INSTANCEMASK = DIDFT_ANYINSTANCE;
constexpr DWORD DIDFT_FFACTUATOR = 0x01000000;
constexpr DWORD DIDFT_FFEFFECTTRIGGER = 0x02000000;
constexpr DWORD DIDFT_OPTIONAL = 0x80000000;
constexpr DWORD DIDFT_MAKEINSTANCE(DWORD n) { return (n & 0xFFFF) << 8; }
constexpr DWORD DIDFT_GETTYPE(DWORD type) { return type & 0xFF; }
constexpr DWORD DIDFT_GETINSTANCE(DWORD type) { return (type >> 8) & 0xFFFF; }

// Data formats.
constexpr DWORD DIDF_ABSAXIS = 0x00000001;
constexpr DWORD DIDF_RELAXIS = 0x00000002;

// Properties are named by small numbers in place of a GUID's address.
inline const GUID* MAKEDIPROP(uintptr_t n) { return reinterpret_cast<const GUID*>(n); }
inline const GUID* const DIPROP_RANGE = MAKEDIPROP(4);
inline const GUID* const DIPROP_DEADZONE = MAKEDIPROP(5);
inline const GUID* const DIPROP_AUTOCENTER = MAKEDIPROP(9);
constexpr DWORD DIPH_DEVICE = 0;
constexpr DWORD DIPH_BYOFFSET = 1;
constexpr DWORD DIPROPAUTOCENTER_OFF = 0;
constexpr DWORD DIPROPAUTOCENTER_ON = 1;

// Effects.
constexpr DWORD DI_FFNOMINALMAX = 10000;
constexpr DWORD DI_SECONDS = 1000000;
constexpr DWORD DIEFT_ALL = 0x00000000;
constexpr DWORD DIEFT_CONSTANTFORCE = 0x00000001;
constexpr DWORD DIEFT_RAMPFORCE = 0x00000002;
constexpr DWORD DIEFT_PERIODIC = 0x00000003;
constexpr DWORD DIEFT_CONDITION = 0x00000004;
constexpr DWORD DIEFT_FFATTACK = 0x00000200;
constexpr DWORD DIEFT_FFFADE = 0x00000400;
constexpr DWORD DIEFT_POSNEGCOEFFICIENTS = 0x00001000;
constexpr DWORD DIEFT_GETTYPE(DWORD type) { return type & 0xFF; }
constexpr DWORD DIEFF_OBJECTIDS = 0x00000001;
constexpr DWORD DIEFF_OBJECTOFFSETS = 0x00000002;
constexpr DWORD DIEFF_CARTESIAN = 0x00000010;
constexpr DWORD DIEFF_POLAR = 0x00000020;
constexpr DWORD DIEFF_SPHERICAL = 0x00000040;
constexpr DWORD DIEB_NOTRIGGER = 0xFFFFFFFF;
constexpr DWORD DIEP_DURATION = 0x00000001;
constexpr DWORD DIEP_SAMPLEPERIOD = 0x00000002;
constexpr DWORD DIEP_GAIN = 0x00000004;
constexpr DWORD DIEP_TRIGGERBUTTON = 0x00000008;
constexpr DWORD DIEP_TRIGGERREPEATINTERVAL = 0x00000010;
constexpr DWORD DIEP_AXES = 0x00000020;
constexpr DWORD DIEP_DIRECTION = 0x00000040;
constexpr DWORD DIEP_ENVELOPE = 0x00000080;
constexpr DWORD DIEP_TYPESPECIFICPARAMS = 0x00000100;
constexpr DWORD DIEP_STARTDELAY = 0x00000200;
constexpr DWORD DIEP_ALLPARAMS_DX5 = 0x000001FF;
constexpr DWORD DIEP_ALLPARAMS = 0x000003FF;
constexpr DWORD DIEP_START = 0x20000000;
constexpr DWORD DIEP_NORESTART = 0x40000000;
constexpr DWORD DIEP_NODOWNLOAD = 0x80000000;
constexpr DWORD DIES_SOLO = 0x00000001;
constexpr DWORD DIES_NODOWNLOAD = 0x80000000;
constexpr DWORD DIEGES_PLAYING = 0x00000001;

// Scan codes of the keys the keyboard reports, the keyboard state's byte offsets.
constexpr DWORD DIK_ESCAPE = 0x01;
constexpr DWORD DIK_1 = 0x02;  // to DIK_9 0x0A
constexpr DWORD DIK_0 = 0x0B;
constexpr DWORD DIK_MINUS = 0x0C;
constexpr DWORD DIK_EQUALS = 0x0D;
constexpr DWORD DIK_BACK = 0x0E;
constexpr DWORD DIK_TAB = 0x0F;
constexpr DWORD DIK_Q = 0x10;
constexpr DWORD DIK_W = 0x11;
constexpr DWORD DIK_E = 0x12;
constexpr DWORD DIK_R = 0x13;
constexpr DWORD DIK_T = 0x14;
constexpr DWORD DIK_Y = 0x15;
constexpr DWORD DIK_U = 0x16;
constexpr DWORD DIK_I = 0x17;
constexpr DWORD DIK_O = 0x18;
constexpr DWORD DIK_P = 0x19;
constexpr DWORD DIK_LBRACKET = 0x1A;
constexpr DWORD DIK_RBRACKET = 0x1B;
constexpr DWORD DIK_RETURN = 0x1C;
constexpr DWORD DIK_LCONTROL = 0x1D;
constexpr DWORD DIK_A = 0x1E;
constexpr DWORD DIK_S = 0x1F;
constexpr DWORD DIK_D = 0x20;
constexpr DWORD DIK_F = 0x21;
constexpr DWORD DIK_G = 0x22;
constexpr DWORD DIK_H = 0x23;
constexpr DWORD DIK_J = 0x24;
constexpr DWORD DIK_K = 0x25;
constexpr DWORD DIK_L = 0x26;
constexpr DWORD DIK_SEMICOLON = 0x27;
constexpr DWORD DIK_APOSTROPHE = 0x28;
constexpr DWORD DIK_GRAVE = 0x29;
constexpr DWORD DIK_LSHIFT = 0x2A;
constexpr DWORD DIK_BACKSLASH = 0x2B;
constexpr DWORD DIK_Z = 0x2C;
constexpr DWORD DIK_X = 0x2D;
constexpr DWORD DIK_C = 0x2E;
constexpr DWORD DIK_V = 0x2F;
constexpr DWORD DIK_B = 0x30;
constexpr DWORD DIK_N = 0x31;
constexpr DWORD DIK_M = 0x32;
constexpr DWORD DIK_COMMA = 0x33;
constexpr DWORD DIK_PERIOD = 0x34;
constexpr DWORD DIK_SLASH = 0x35;
constexpr DWORD DIK_RSHIFT = 0x36;
constexpr DWORD DIK_MULTIPLY = 0x37;
constexpr DWORD DIK_LMENU = 0x38;
constexpr DWORD DIK_SPACE = 0x39;
constexpr DWORD DIK_CAPITAL = 0x3A;
constexpr DWORD DIK_F1 = 0x3B;  // to DIK_F10 0x44
constexpr DWORD DIK_NUMLOCK = 0x45;
constexpr DWORD DIK_SCROLL = 0x46;
constexpr DWORD DIK_NUMPAD7 = 0x47;
constexpr DWORD DIK_NUMPAD8 = 0x48;
constexpr DWORD DIK_NUMPAD9 = 0x49;
constexpr DWORD DIK_SUBTRACT = 0x4A;
constexpr DWORD DIK_NUMPAD4 = 0x4B;
constexpr DWORD DIK_NUMPAD5 = 0x4C;
constexpr DWORD DIK_NUMPAD6 = 0x4D;
constexpr DWORD DIK_ADD = 0x4E;
constexpr DWORD DIK_NUMPAD1 = 0x4F;
constexpr DWORD DIK_NUMPAD2 = 0x50;
constexpr DWORD DIK_NUMPAD3 = 0x51;
constexpr DWORD DIK_NUMPAD0 = 0x52;
constexpr DWORD DIK_DECIMAL = 0x53;
constexpr DWORD DIK_OEM_102 = 0x56;
constexpr DWORD DIK_F11 = 0x57;
constexpr DWORD DIK_F12 = 0x58;
constexpr DWORD DIK_NUMPADENTER = 0x9C;
constexpr DWORD DIK_RCONTROL = 0x9D;
constexpr DWORD DIK_DIVIDE = 0xB5;
constexpr DWORD DIK_SYSRQ = 0xB7;
constexpr DWORD DIK_RMENU = 0xB8;
constexpr DWORD DIK_PAUSE = 0xC5;
constexpr DWORD DIK_HOME = 0xC7;
constexpr DWORD DIK_UP = 0xC8;
constexpr DWORD DIK_PRIOR = 0xC9;
constexpr DWORD DIK_LEFT = 0xCB;
constexpr DWORD DIK_RIGHT = 0xCD;
constexpr DWORD DIK_END = 0xCF;
constexpr DWORD DIK_DOWN = 0xD0;
constexpr DWORD DIK_NEXT = 0xD1;
constexpr DWORD DIK_INSERT = 0xD2;
constexpr DWORD DIK_DELETE = 0xD3;
constexpr DWORD DIK_LWIN = 0xDB;
constexpr DWORD DIK_RWIN = 0xDC;
constexpr DWORD DIK_APPS = 0xDD;

// ---------------------------------------------------------------------------------------------
// Records.

// One object of a data format: which device object (type GUID or null for any, type bits and
// instance in dwType), and where its value goes in the state block.
struct DIOBJECTDATAFORMAT {
  const GUID* pguid;
  DWORD dwOfs;
  DWORD dwType;
  DWORD dwFlags;
};

// dwSize 24 and dwObjSize 16 (or the sizeof values here); rgodf holds dwNumObjs entries.
struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;
  DWORD dwNumObjs;
  const DIOBJECTDATAFORMAT* rgodf;
};

// dwSize 580 (324 without the force-feedback driver and usage fields).
struct DIDEVICEINSTANCE {
  DWORD dwSize;
  GUID guidInstance;
  GUID guidProduct;
  DWORD dwDevType;
  char tszInstanceName[260];
  char tszProductName[260];
  GUID guidFFDriver;
  WORD wUsagePage;
  WORD wUsage;
};

// dwSize 316 (292 without the fields from dwFFMaxForce on).
struct DIDEVICEOBJECTINSTANCE {
  DWORD dwSize;
  GUID guidType;
  DWORD dwOfs;
  DWORD dwType;
  DWORD dwFlags;
  char tszName[260];
  DWORD dwFFMaxForce;
  DWORD dwFFForceResolution;
  WORD wCollectionNumber;
  WORD wDesignatorIndex;
  WORD wUsagePage;
  WORD wUsage;
  DWORD dwDimension;
  WORD wExponent;
  WORD wReserved;
};

// dwSize 44 (24 without the fields from dwFFSamplePeriod on).
struct DIDEVCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwDevType;
  DWORD dwAxes;
  DWORD dwButtons;
  DWORD dwPOVs;
  DWORD dwFFSamplePeriod;
  DWORD dwFFMinTimeResolution;
  DWORD dwFirmwareRevision;
  DWORD dwHardwareRevision;
  DWORD dwFFDriverVersion;
};

// dwHeaderSize 16; dwObj is a data-format offset with DIPH_BYOFFSET, 0 with DIPH_DEVICE.
struct DIPROPHEADER {
  DWORD dwSize;
  DWORD dwHeaderSize;
  DWORD dwObj;
  DWORD dwHow;
};

struct DIPROPDWORD {  // dwSize 20
  DIPROPHEADER diph;
  DWORD dwData;
};

struct DIPROPRANGE {  // dwSize 24
  DIPROPHEADER diph;
  LONG lMin;
  LONG lMax;
};

struct DIMOUSESTATE {  // 16 bytes
  LONG lX;
  LONG lY;
  LONG lZ;
  BYTE rgbButtons[4];
};

struct DIJOYSTATE {  // 80 bytes
  LONG lX, lY, lZ;
  LONG lRx, lRy, lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];
  BYTE rgbButtons[32];
};

struct DIJOYSTATE2 {  // 272 bytes
  LONG lX, lY, lZ;
  LONG lRx, lRy, lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];
  BYTE rgbButtons[128];
  LONG lVX, lVY, lVZ;
  LONG lVRx, lVRy, lVRz;
  LONG rglVSlider[2];
  LONG lAX, lAY, lAZ;
  LONG lARx, lARy, lARz;
  LONG rglASlider[2];
  LONG lFX, lFY, lFZ;
  LONG lFRx, lFRy, lFRz;
  LONG rglFSlider[2];
};

struct DIENVELOPE {  // dwSize 20; times in microseconds
  DWORD dwSize;
  DWORD dwAttackLevel;
  DWORD dwAttackTime;
  DWORD dwFadeLevel;
  DWORD dwFadeTime;
};

struct DICONSTANTFORCE {  // 4 bytes
  LONG lMagnitude;
};

struct DIRAMPFORCE {  // 8 bytes
  LONG lStart;
  LONG lEnd;
};

struct DIPERIODIC {  // 16 bytes; period in microseconds
  DWORD dwMagnitude;
  LONG lOffset;
  DWORD dwPhase;
  DWORD dwPeriod;
};

struct DICONDITION {  // 24 bytes, one per axis (or one for all)
  LONG lOffset;
  LONG lPositiveCoefficient;
  LONG lNegativeCoefficient;
  DWORD dwPositiveSaturation;
  DWORD dwNegativeSaturation;
  LONG lDeadBand;
};

// dwSize 56 (52 without dwStartDelay), or sizeof; times in microseconds, 0xFFFFFFFF for endless.
struct DIEFFECT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwDuration;
  DWORD dwSamplePeriod;
  DWORD dwGain;
  DWORD dwTriggerButton;
  DWORD dwTriggerRepeatInterval;
  DWORD cAxes;
  DWORD* rgdwAxes;
  LONG* rglDirection;
  DIENVELOPE* lpEnvelope;
  DWORD cbTypeSpecificParams;
  void* lpvTypeSpecificParams;
  DWORD dwStartDelay;
};

// dwSize 292.
struct DIEFFECTINFO {
  DWORD dwSize;
  GUID guid;
  DWORD dwEffType;
  DWORD dwStaticParams;
  DWORD dwDynamicParams;
  char tszName[260];
};

// The records whose sizes callers write as version tags, or that are read as raw state blocks,
// have no pointer and keep their original layout.
static_assert(sizeof(DIDEVICEINSTANCE) == 580 && sizeof(DIDEVICEOBJECTINSTANCE) == 316);
static_assert(sizeof(DIDEVCAPS) == 44 && sizeof(DIEFFECTINFO) == 292);
static_assert(sizeof(DIPROPDWORD) == 20 && sizeof(DIPROPRANGE) == 24);
static_assert(sizeof(DIMOUSESTATE) == 16 && sizeof(DIJOYSTATE) == 80 && sizeof(DIJOYSTATE2) == 272);
static_assert(sizeof(DIENVELOPE) == 20 && sizeof(DICONSTANTFORCE) == 4 && sizeof(DIRAMPFORCE) == 8);
static_assert(sizeof(DIPERIODIC) == 16 && sizeof(DICONDITION) == 24);

using LPDIENUMDEVICESCALLBACK = BOOL (*)(const DIDEVICEINSTANCE* instance, void* context);
using LPDIENUMDEVICEOBJECTSCALLBACK = BOOL (*)(const DIDEVICEOBJECTINSTANCE* object, void* context);
using LPDIENUMEFFECTSCALLBACK = BOOL (*)(const DIEFFECTINFO* effect, void* context);

// ---------------------------------------------------------------------------------------------
// Interfaces.

struct IDirectInputEffect : IUnknown {
  // Changes the parameters the flags name; downloads them when the device is acquired
  // exclusively (DI_DOWNLOADSKIPPED otherwise), and with DIEP_START starts the effect.
  virtual HRESULT SetParameters(const DIEFFECT* effect, DWORD flags) = 0;
  // iterations: 1 or more, or 0xFFFFFFFF for endless. Needs the device acquired exclusively.
  virtual HRESULT Start(DWORD iterations, DWORD flags) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetEffectStatus(DWORD* status) = 0;
  virtual HRESULT Download() = 0;
  virtual HRESULT Unload() = 0;
};

struct IDirectInputDevice : IUnknown {
  virtual HRESULT GetCapabilities(DIDEVCAPS* caps) = 0;
  // flags: DIDFT_ALL, or object kinds (and attributes) to list.
  virtual HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACK callback, void* context,
                              DWORD flags) = 0;
  virtual HRESULT SetProperty(const GUID* property, const DIPROPHEADER* header) = 0;
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;
  virtual HRESULT GetDeviceState(DWORD size, void* data) = 0;
  virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
};

struct IDirectInputDevice2 : IDirectInputDevice {
  virtual HRESULT CreateEffect(REFGUID effect, const DIEFFECT* parameters,
                               IDirectInputEffect** created, IUnknown* outer) = 0;
  // effectType: DIEFT_ALL or one kind (DIEFT_PERIODIC, DIEFT_CONDITION, ...).
  virtual HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACK callback, void* context,
                              DWORD effectType) = 0;
  virtual HRESULT Poll() = 0;
};

struct IDirectInput : IUnknown {
  // device: GUID_SysKeyboard, GUID_SysMouse, GUID_Joystick or an enumerated instance GUID.
  virtual HRESULT CreateDevice(REFGUID device, IDirectInputDevice** created, IUnknown* outer) = 0;
  // deviceType: 0 for all, or DIDEVTYPE_KEYBOARD/MOUSE/JOYSTICK; flags DIEDFL_*.
  virtual HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACK callback, void* context,
                              DWORD flags) = 0;
};

// ---------------------------------------------------------------------------------------------
// Entry points of "DInput.dll".

// version: a released DirectInput version up to DIRECTINPUT_VERSION.
HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, IDirectInput** directInput,
                           IUnknown* outer);

// Offers "DInput.dll" in the kernel's module table.
void RegisterDirectInputModule();
