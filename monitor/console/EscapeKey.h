#pragma once

// Reads the console input that is waiting, up to and including the first ESC
// key-down; true when it found one. No console input counts as no key.
bool IsEscapePressed();
