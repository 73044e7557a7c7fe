// A file-transfer library of the wrong version, for the start-up test: the
// editor must grey its transfer items and say so.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI GetFtDllVersion() {
    return 10016;
}
