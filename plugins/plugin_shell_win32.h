// What every parser plug-in DLL of this system does the same way on
// Windows: finding the editor's module through the block's frame window,
// the editor's language from its number resource, reading the open file
// from the block's handle, and loading a message of the plug-in's own
// string table in that language (English when it is missing).
#pragma once

#include <windows.h>

#include <cstdint>

#include "import/parser_interface.h"

namespace plugin_shell {

// The module of the program whose frame window the block names (the
// process's own program when there is none).
inline HMODULE editorModule(const ParserBlock* block) {
    HWND frame = block ? static_cast<HWND>(block->frameWindow) : nullptr;
    HMODULE editor = frame && IsWindow(frame)
                         ? reinterpret_cast<HMODULE>(GetWindowLongPtrA(frame, GWLP_HINSTANCE))
                         : nullptr;
    return editor ? editor : GetModuleHandleA(nullptr);
}

// The editor's language: its number resource (44 English, 49 German).
inline int editorLanguage(HMODULE editor) {
    HRSRC found =
        FindResourceA(editor, MAKEINTRESOURCEA(kLanguageResourceId), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found || SizeofResource(editor, found) < 4) return kLanguageEnglish;
    HGLOBAL loaded = LoadResource(editor, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return kLanguageEnglish;
    std::int32_t language = 0;
    CopyMemory(&language, data, sizeof language);
    return language == kLanguageGerman ? kLanguageGerman : kLanguageEnglish;
}

// Up to `size` bytes of the open file: the count, or -1 on a read error.
inline std::int32_t readHandle(HANDLE file, char* buffer, std::int32_t size) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
    return static_cast<std::int32_t>(got);
}

// Message `number` of the plug-in module `self` in `language`.
inline int messageText(HMODULE self, int language, int number, char* buffer, int size) {
    int n = LoadStringA(self, static_cast<UINT>(number + language), buffer, size);
    if (n <= 0) n = LoadStringA(self, static_cast<UINT>(number + kLanguageEnglish), buffer, size);
    if (n <= 0 && size > 0) buffer[0] = 0;
    return n > 0 ? n : 0;
}

}  // namespace plugin_shell
