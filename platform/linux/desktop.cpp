// Linux stand-in only: there is no desktop, and so no window of it.

#include "platform/win32.h"

HWND GetDesktopWindow() { return nullptr; }
