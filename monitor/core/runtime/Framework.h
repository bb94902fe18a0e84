#pragma once

// Start and stop the monitor core, once each, on the front end's main thread.
// Every other core call is made between the two. The core can be started again
// after a shut-down: every facility is then built afresh.
void FrameworkStartup();
// Waits (15000 ms) for every object, runs the exit callbacks last registered
// first, then frees the shared pools and maps and waits for every block. When
// objects are still alive after the callbacks, the pools and maps are left
// allocated: leaking at exit is harmless, freeing memory in use is not.
void FrameworkShutdown();
