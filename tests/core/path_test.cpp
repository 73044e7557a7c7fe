// Paths as text: their parts, and what joins, replaces and copies write
// into fixed buffers.
#include <gtest/gtest.h>

#include <string>

#include "core/path.h"
#include "platform/platform.h"

namespace {

// The system's separator where the helpers write one.
std::string sep(std::string text) {
    for (char& c : text)
        if (c == '|') c = platform::kPathSeparator;
    return text;
}

}  // namespace

TEST(Path, PartsAndWhatIsWrittenFromThem) {
    const struct {
        const char* path;
        const char* name;
        const char* extension;
        const char* directory;
        bool unc;
    } parts[] = {
        {"C:\\dir\\file.vrd", "file.vrd", ".vrd", "C:\\dir", false},
        {"C:\\file.vrd", "file.vrd", ".vrd", "C:\\", false},
        {"C:file.tar.gz", "file.tar.gz", ".gz", "", false},
        {"/home/u/a.b/name", "name", "", "/home/u/a.b", false},
        {"\\top", "top", "", "\\", false},
        {"dir/", "", "", "dir", false},
        {".vrd", ".vrd", ".vrd", "", false},
        {"mixed\\dir/x.y", "x.y", ".y", "mixed\\dir", false},
        {"\\\\server\\share\\f.txt", "f.txt", ".txt", "\\\\server\\share", true},
        {"//server/share", "share", "", "//server", true},
        {"\\/odd", "odd", "", "\\", false},
        {"", "", "", "", false},
    };
    for (const auto& p : parts) {
        EXPECT_STREQ(fileNameOf(p.path), p.name) << p.path;
        EXPECT_STREQ(extensionOf(p.path), p.extension) << p.path;
        EXPECT_EQ(std::string(p.path, directoryLength(p.path)), p.directory) << p.path;
        EXPECT_EQ(isUncPath(p.path), p.unc) << p.path;
    }

    // Writers into a buffer of `size`; an empty expectation means "does not
    // fit" (false, and a terminated buffer).
    enum class Op { join, replace, beside, copy };
    const struct {
        Op op;
        const char* a;
        const char* b;
        const char* c;
        std::size_t size;
        std::string expected;
    } writes[] = {
        {Op::join, "C:\\dir", "f.src", nullptr, 64, sep("C:\\dir|f.src")},
        {Op::join, "C:\\dir\\", "f.src", nullptr, 64, "C:\\dir\\f.src"},
        {Op::join, "dir/", "f", nullptr, 64, "dir/f"},
        {Op::join, "", "f.src", nullptr, 64, "f.src"},
        {Op::join, "C:\\dir", "f.src", nullptr, 12, ""},
        {Op::replace, "C:\\a.b\\name", ".etf", nullptr, 64, "C:\\a.b\\name.etf"},
        {Op::replace, "x.vrd", ".err", nullptr, 64, "x.err"},
        {Op::replace, "x.vrd", "", nullptr, 64, "x"},
        {Op::replace, "x.vrd", ".longer", nullptr, 8, ""},
        {Op::beside, "C:\\d\\diagram.vrd", "", ".etf", 64, "C:\\d\\diagram.etf"},
        {Op::beside, "C:\\d\\diagram.vrd", "E:\\out", ".etf", 64, sep("E:\\out|diagram.etf")},
        {Op::beside, "diagram", nullptr, ".src", 64, "diagram.src"},
        {Op::beside, "C:\\d\\", "E:\\out", ".etf", 64, ""},
        {Op::beside, "C:\\d\\diagram.vrd", "", ".etf", 10, ""},
        {Op::copy, "exactly 9", nullptr, nullptr, 10, "exactly 9"},
        {Op::copy, "ten chars!", nullptr, nullptr, 10, ""},
        {Op::copy, nullptr, nullptr, nullptr, 4, ""},
    };
    for (const auto& w : writes) {
        char out[64] = "previous";
        bool ok = false;
        switch (w.op) {
            case Op::join:
                ok = joinPath(w.a, w.b, out, w.size);
                break;
            case Op::replace:
                copyText(out, w.a);
                ok = replaceExtension(out, w.size, w.b);
                if (!ok) {
                    EXPECT_STREQ(out, w.a) << "unchanged when it does not fit";
                }
                break;
            case Op::beside:
                ok = pathBeside(w.a, w.b, w.c, out, w.size);
                break;
            case Op::copy:
                ok = copyText(out, w.size, w.a);
                break;
        }
        const std::string label = std::string(w.a ? w.a : "(null)") + " / " + (w.b ? w.b : "(null)");
        EXPECT_EQ(ok, !w.expected.empty() || (w.op == Op::copy && !w.a)) << label;
        ASSERT_LT(std::string(out).size(), w.size) << label << ": terminated inside the buffer";
        if (ok) {
            EXPECT_EQ(out, w.expected) << label;
        }
    }
}
