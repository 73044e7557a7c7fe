// korrin-textcopy: copies a host text file through the buffered file layer,
// converting it for the workstation on the way: OEM to ANSI, tabs expanded,
// every line end made CR LF.
//
//   korrin-textcopy <source> <target>
#include <cstdio>

#include "core/buffered_file.h"
#include "platform/platform.h"
#include "resources/strings.h"

namespace {

int fail(unsigned id, const char* name) {
    char format[256];
    platform::loadString(id, format, sizeof format);
    std::fprintf(stderr, format, name);
    std::fputc('\n', stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: korrin-textcopy <source> <target>\n");
        return 2;
    }
    platform::OpenInfo sourceInfo, targetInfo;
    BufferedFile* source = bfile::openFile(argv[1], &sourceInfo, platform::kOpenRead | platform::kShareDenyWrite,
                                           kOptOem | kOptExpandTabs | kOptNormaliseLineEnds);
    if (!source) return fail(IDS_UNABLE_TO_OPEN, argv[1]);
    BufferedFile* target = bfile::openFile(argv[2], &targetInfo,
                                           platform::kOpenWrite | platform::kOpenCreate | platform::kShareExclusive, 0);
    if (!target) {
        bfile::close(source);
        return fail(IDS_UNABLE_TO_OPEN, argv[2]);
    }
    char chunk[1000];
    long total = 0;
    std::int32_t n;
    while ((n = bfile::read(source, chunk, sizeof chunk)) > 0) {
        if (bfile::write(target, chunk, n) != 0) break;
        total += n;
    }
    bool readFailed = n < 0 || bfile::close(source) != 0;
    if (bfile::close(target) != 0) return fail(IDS_UNABLE_TO_WRITE, argv[2]);
    if (readFailed) return fail(IDS_UNABLE_TO_OPEN, argv[1]);
    std::printf("%s -> %s: %ld bytes\n", argv[1], argv[2], total);
    return 0;
}
