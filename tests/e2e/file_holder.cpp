// Holds a file open as another program would, for the tests of files in
// use: opened for reading with others denied write access ("share"), or for
// reading and writing, others denied writing, and all of it locked
// ("lock"). Creates <ready> once it holds the file, and lets go when <stop>
// appears (or after 60 seconds), deleting <ready> on the way out.
//
//   file_holder <file> share|lock <ready> <stop>
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    const bool lock = std::strcmp(argv[2], "lock") == 0;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ | (lock ? GENERIC_WRITE : 0), FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    if (lock && !LockFile(file, 0, 0, 1u << 20, 0)) return 4;
    HANDLE ready =
        CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 5;
    CloseHandle(ready);
    for (int waited = 0; waited < 60000 && GetFileAttributesA(argv[4]) == INVALID_FILE_ATTRIBUTES;
         waited += 20)
        Sleep(20);
    if (lock) UnlockFile(file, 0, 0, 1u << 20, 0);
    CloseHandle(file);
    DeleteFileA(argv[3]);
    return 0;
}
