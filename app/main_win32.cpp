// The entry point of korrin.exe.
#include <windows.h>

#include "app/frame_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showMode) {
    return runEditor(instance, commandLine ? commandLine : "", showMode);
}
