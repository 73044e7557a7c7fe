// An external editor for the tests: waits a moment (the editor meanwhile
// keeps its frame disabled), then appends a line to the file it is given.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    Sleep(1500);
    std::FILE* f = std::fopen(argv[1], "ab");
    if (!f) return 1;
    std::fputs("\r\nappended line\r\n", f);
    return std::fclose(f) == 0 ? 0 : 1;
}
