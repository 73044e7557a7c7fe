// Another program on the clipboard, as the editing tests need one:
//
//   clipboard_probe read <file>   reads "Korrin(VRD)" as a diagram and
//                                 writes one line per construct of the
//                                 pasted sequence ("<type> <text>"), then
//                                 "text <CF_TEXT>"; exit 0, 1 without the
//                                 format, 2 when it is no diagram
//   clipboard_probe garbage       puts bytes that are no diagram into
//                                 "Korrin(VRD)"
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/diagram_file.h"
#include "platform/platform.h"

namespace {

UINT format() {
    return RegisterClipboardFormatA("Korrin(VRD)");
}

int putGarbage() {
    const char garbage[] = "\x10\0\0\0\x10\0\0\0not a diagram at all";
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof garbage);
    std::memcpy(GlobalLock(block), garbage, sizeof garbage);
    GlobalUnlock(block);
    if (!OpenClipboard(nullptr)) return 1;
    EmptyClipboard();
    const bool put = SetClipboardData(format(), block) != nullptr;
    CloseClipboard();
    return put ? 0 : 1;
}

int read(const char* path) {
    if (!OpenClipboard(nullptr)) return 1;
    HGLOBAL block = static_cast<HGLOBAL>(GetClipboardData(format()));
    std::string text;
    if (HGLOBAL t = static_cast<HGLOBAL>(GetClipboardData(CF_TEXT))) {
        text = static_cast<const char*>(GlobalLock(t));
        GlobalUnlock(t);
    }
    platform::MemHandle copy = nullptr;
    if (block) {
        const SIZE_T size = GlobalSize(block);
        copy = platform::memBlockAlloc(static_cast<std::uint32_t>(size));
        std::memcpy(platform::memBlockLock(copy), GlobalLock(block), size);
        platform::memBlockUnlock(copy);
        GlobalUnlock(block);
    }
    CloseClipboard();
    if (!copy) return 1;
    DiagramDocument doc{};
    g_currentDocument = &doc;
    ConstructNode* sequence = nullptr;
    const int ok = readClipboardDiagram(&doc, copy, &sequence);
    platform::memBlockFree(copy);
    if (!ok) return 2;
    std::string out;
    for (ConstructNode* n = sequence; n; n = n->next) {
        const char* t = textOf(n);
        out += std::to_string(static_cast<int>(n->type)) + " " + (t ? t : "") + "\n";
    }
    out += "text " + text + "\n";
    freeSequence(sequence);
    FILE* f = std::fopen(path, "wb");
    if (!f) return 1;
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "garbage") == 0) return putGarbage();
    if (argc >= 3 && std::strcmp(argv[1], "read") == 0) return read(argv[2]);
    return 1;
}
