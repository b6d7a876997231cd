// The program's main: the forms and the message loop.
#pragma once

// Initialises the application, creates the main form and the unused second form, and runs the
// message loop until the main form closes. The component layer must have started.
void ProgramMain();
