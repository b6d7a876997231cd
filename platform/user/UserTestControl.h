// Test and shut-down control of the window system.
#pragma once

// Destroys every window, forgets the registered classes, empties the queue and puts input,
// activation, the kept frame and the display mode back to their start.
void ResetWindowSystem();
