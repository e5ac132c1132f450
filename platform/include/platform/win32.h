// The one gateway to the operating system's API shapes. Logic includes this header and nothing
// from the system directly, so it compiles unchanged against <windows.h> or our POSIX stand-in.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>
#include <windows.h>
#else
#include "platform/posix_win32.h"
#endif
