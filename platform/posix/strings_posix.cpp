#include <cstdio>

#include "platform/platform.h"
#include "resources/strings.h"

namespace platform {

int loadString(unsigned id, char* buffer, int size) {
    const char* text = findString(id);
    if (!buffer || size <= 0) return 0;
    if (!text) {
        buffer[0] = 0;
        return 0;
    }
    int n = std::snprintf(buffer, static_cast<std::size_t>(size), "%s", text);
    return n < size ? n : size - 1;
}

void setResourceModule(void*) {}

}  // namespace platform
