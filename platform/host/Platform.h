// Starting and ending the platform: chooses and starts the host and offers the built-in
// modules (DirectDraw, DirectInput, ...) to LoadLibraryA.
#pragma once

class Host;

// False, with the reason on standard error, when the host named by ORVALIS_HOST cannot run or
// is unknown. Calling it again while started does nothing and answers True.
bool PlatformStartup();
// Stops the host; the program's windows stay as the program left them.
void PlatformShutdown();
// The running host, null before start-up.
Host* PlatformHost();
