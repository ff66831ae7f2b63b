// The window that owns system dialogs opened on the calling thread: the main
// window of the thread's application, or null on a thread without one. The
// application framework installs the lookup when it starts.
#pragma once

#include <windows.h>

using OwnerWindowLookup = HWND (*)();

void SetOwnerWindowLookup(OwnerWindowLookup lookup);
HWND OwnerWindowOfThisThread();
