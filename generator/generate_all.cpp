// Generate all: every native diagram file of a directory, one after the
// other, with one report at the end.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/language_config.h"
#include "config/profile.h"
#include "core/allocator.h"
#include "core/diagram_file.h"
#include "core/host.h"
#include "generator/generate_internal.h"
#include "generator/generator.h"
#include "resources/strings.h"

namespace {

// The names found, in counting-allocator blocks.
struct NameList {
    char** names;
    int count;
    int capacity;
    bool outOfMemory;
};

bool hasDiagramExtension(const char* name) {
    const char* ext = extensionOf(name);
    return ext != name && equalNoCase(ext, ".vrd");
}

void collectName(const char* name, void* context) {
    auto* list = static_cast<NameList*>(context);
    if (list->outOfMemory || !hasDiagramExtension(name)) return;
    if (list->count == list->capacity) {
        const int capacity = list->capacity ? list->capacity * 2 : 32;
        auto* grown = static_cast<char**>(memAlloc(static_cast<std::size_t>(capacity) * sizeof(char*)));
        if (!grown) {
            list->outOfMemory = true;
            return;
        }
        if (list->count)
            std::memcpy(grown, list->names, static_cast<std::size_t>(list->count) * sizeof(char*));
        memFree(list->names);
        list->names = grown;
        list->capacity = capacity;
    }
    char* copy = memStrDup(name);
    if (!copy) {
        list->outOfMemory = true;
        return;
    }
    list->names[list->count++] = copy;
}

void freeNames(NameList& list) {
    for (int i = 0; i < list.count; ++i) memFree(list.names[i]);
    list.names = static_cast<char**>(memFree(list.names));
    list.count = list.capacity = 0;
}

int upperOf(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    return c;
}

// Names compared without regard to case; equal ones by their bytes, so
// that the order is always the same.
int compareNames(const void* a, const void* b) {
    const auto* x = reinterpret_cast<const unsigned char*>(*static_cast<char* const*>(a));
    const auto* y = reinterpret_cast<const unsigned char*>(*static_cast<char* const*>(b));
    for (const unsigned char *p = x, *q = y;; ++p, ++q) {
        const int d = upperOf(*p) - upperOf(*q);
        if (d != 0) return d;
        if (!*p) break;
    }
    return std::strcmp(reinterpret_cast<const char*>(x), reinterpret_cast<const char*>(y));
}

// Appends `text` to the list of failed files while it fits.
void noteFailure(char* list, std::size_t size, const char* name) {
    const std::size_t used = std::strlen(list);
    const std::size_t need = std::strlen(name) + 2;
    if (used + need + 5 >= size) {
        if (used + 6 < size && !std::strstr(list, "\r\n..."))
            std::snprintf(list + used, size - used, "\r\n...");
        return;
    }
    std::snprintf(list + used, size - used, "\r\n%s", name);
}

// One diagram: opened, generated, closed. 1 when its source was generated.
int generateFile(const char* path, const char* targetDirectory, bool saveAfter) {
    DiagramDocument document{};
    if (!openDocument(&document, path)) return 0;
    char output[kPathSize];
    int ok = 0;
    if (!outputPathIn(&document, targetDirectory, output)) {
        showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, output);
    } else if (isOwnFile(&document, output)) {
        showMessage(IDS_OWN_FILE_NOT_OVERWRITABLE, kBoxDefault);
    } else {
        GenerateTarget target{};
        ok = generateInto(&document, output, true, saveAfter, &target);
    }
    closeDocument(&document);
    return ok;
}

}  // namespace

GenerateAllResult generateAll(const char* directory, bool saveAfter, const GenerateAllProgress& progress) {
    GenerateAllResult result{0, 0};
    const char* sourceDirectory = directory ? directory : "";
    if (!g_languageConfig.path[0]) {
        showMessage(IDS_GENMSG_NO_CONFIG, kBoxDefault);
        return result;
    }
    NameList list{};
    if (!platform::listFiles(sourceDirectory, collectName, &list) && list.count == 0) {
        showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, sourceDirectory[0] ? sourceDirectory : ".");
        return result;
    }
    if (list.outOfMemory) {
        freeNames(list);
        showMessage(IDS_OUT_OF_MEMORY, kIconExclamation | kBoxSystemModal);
        return result;
    }
    if (list.count > 1)
        std::qsort(list.names, static_cast<std::size_t>(list.count), sizeof(char*), compareNames);

    char targetDirectory[kPathSize];
    generatorGenerateDirectory(targetDirectory);
    if (!targetDirectory[0]) std::snprintf(targetDirectory, sizeof targetDirectory, "%s", sourceDirectory);

    char failedNames[kMaxFormatted - 200] = "";
    for (int i = 0; i < list.count; ++i) {
        char path[kPathSize];
        const bool fits = joinPath(sourceDirectory, list.names[i], path, sizeof path);
        if (progress.beforeFile && !progress.beforeFile(progress.context, path, i, list.count)) break;
        if (fits && generateFile(path, targetDirectory, saveAfter)) {
            ++result.generated;
        } else {
            ++result.failed;
            noteFailure(failedNames, sizeof failedNames, list.names[i]);
        }
    }
    freeNames(list);

    char failedText[sizeof failedNames + 64] = "";
    if (result.failed > 0) {
        char heading[64];
        if (platform::loadString(IDS_GENMSG_ALL_FAILED, heading, sizeof heading) <= 0) heading[0] = 0;
        std::snprintf(failedText, sizeof failedText, "%s%s", heading, failedNames);
    }
    showMessage(IDS_GENMSG_ALL_REPORT, kBoxOk | kIconAsterisk, result.generated, result.failed, failedText);
    return result;
}
