// korrin-pas's parser over the platform layer and the native text table.
#include "plugins/pascal/pascal_native.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

int g_language = kLanguageEnglish;
void* (*g_allocate)(std::size_t) = nullptr;
void (*g_release)(void*) = nullptr;

std::int32_t readHandle(void* context, char* buffer, std::int32_t size) {
    const auto handle = *static_cast<platform::FileHandle*>(context);
    return platform::readFile(handle, buffer, static_cast<std::uint32_t>(size));
}

void convert(void*, char* buffer, std::int32_t count) {
    platform::oemToAnsi(buffer, static_cast<std::size_t>(count));
}

int profileOption(void*, const char* path, const char* key, char* buffer, int size) {
    if (!path || !*path || size <= 0) return 0;
    return static_cast<int>(
        platform::profileGetString("ParseOptions", key, "", buffer, static_cast<std::uint32_t>(size), path));
}

int messageText(void*, int number, char* buffer, int size) {
    const char* text = pascalMessageText(number, g_language);
    if (!buffer || size <= 0) return 0;
    const int n = std::snprintf(buffer, static_cast<std::size_t>(size), "%s", text ? text : "");
    return n < size ? n : size - 1;
}

std::int32_t readMemory(void* context, char* buffer, std::int32_t size) {
    auto* in = static_cast<PascalMemoryInput*>(context);
    const std::size_t left = in->size - in->position;
    const std::size_t n = left < static_cast<std::size_t>(size) ? left : static_cast<std::size_t>(size);
    if (n) std::memcpy(buffer, in->data + in->position, n);
    in->position += n;
    return static_cast<std::int32_t>(n);
}

int memoryOption(void* context, const char*, const char* key, char* buffer, int size) {
    auto* in = static_cast<PascalMemoryInput*>(context);
    const char* value = in->option ? in->option(key) : nullptr;
    if (!value || size <= 0) return 0;
    const int n = std::snprintf(buffer, static_cast<std::size_t>(size), "%s", value);
    return n < size ? n : size - 1;
}

}  // namespace

void setPascalNativeLanguage(int language) {
    g_language = language;
}

void setPascalNativeAllocator(void* (*allocate)(std::size_t), void (*release)(void*)) {
    g_allocate = allocate;
    g_release = release;
}

extern "C" std::uint32_t KORRIN_STDCALL pascal_parse_native(ParserBlock* block) {
    platform::FileHandle handle =
        block ? static_cast<platform::FileHandle>(block->sourceFile) : platform::kInvalidFile;
    PascalEnvironment env{readHandle, convert, profileOption, messageText, &handle, g_allocate, g_release};
    return pascalParse(block, env);
}

PascalEnvironment pascalMemoryEnvironment(PascalMemoryInput* input) {
    return PascalEnvironment{readMemory, convert, memoryOption, messageText, input, g_allocate, g_release};
}
