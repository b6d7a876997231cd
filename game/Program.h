// The program's main: the forms and the message loop, and the start and end of the layer below.
#pragma once

// Starts the application runtime and the component layer unit by unit, before any form exists.
void StartComponentLayer();
// Initialises the application, creates the main form and the unused second form, and runs the
// message loop until the main form closes. The component layer must have started.
void ProgramMain();
// Destroys the forms with their components, then ends the component layer in the reverse order
// of its start.
void EndComponentLayer();
