// The framework's process-wide objects. They are constructed before any
// other static of the program, the registry first, and destroyed after them
// in reverse order.
#include "framework/app/win32/thread_registry.h"
#include "framework/app/win32/timer.h"

CThreadRegistry TheThreadRegistry __attribute__((init_priority(1000)));
CTimer ProcessTimer __attribute__((init_priority(1001)));
