// SPDX-License-Identifier: MIT
// Load and unload notifications of Zorvan.dll. The library sets nothing up
// and tears nothing down: every entry point sets its own state, so each
// notification only reports success.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
