// The corpus of real Pascal sources (tests/pascal/corpus) parses without
// errors into the expected structure; with Free Pascal installed, programs
// survive the round trip source -> diagram -> generated source -> compiler
// and run with the original's output, and generating from the generated
// file again changes nothing.
#include <cstdlib>
#include <string>

#include "tests/pascal/pascal_helpers.h"

namespace pascal_test {
namespace {

class Corpus : public PascalTest {
protected:
    std::string source(const std::string& name) { return gen_test::readFile(corpusDir() + "/" + name); }
};

TEST_F(Corpus, ParsesWithoutErrorsIntoTheExpectedStructure) {
    options("DelphiSupport=yes\r\nExceptionToken=no\r\n");
    struct Case {
        const char* file;
        const char* start;  // the beginning of the brief of the top segment
        int routines;       // segments holding routines
    };
    const Case cases[] = {
        {"records.pas",
         "Frame<program Records;>[\"{ Records, nested procedures and a case with ranges. }\" \"type|", 3},
        {"guarded.pas",
         "\"{$mode objfpc}\" Frame<program Guarded;>[\"uses SysUtils, Classes;\" \"type|  EEmpty = "
         "class(Exception);\"",
         2},
        {"counters.pas",
         "\"{$mode objfpc}\" Frame<unit Counters;>[Frame<interface>[\"type|  TCounter = class|", 4},
        {"mathlib.pas",
         "Frame<library MathLib;>[Seg<Definition>[Seg<function Add(a, b: integer): integer; cdecl;>", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string shape = parse(source(c.file));
        EXPECT_EQ(errors, "");
        EXPECT_EQ(shape.substr(0, std::string(c.start).size()), c.start) << shape;
        int routines = 0;
        for (std::size_t at = shape.find("Seg<function"); at != std::string::npos;
             at = shape.find("Seg<function", at + 1))
            ++routines;
        for (const char* kind : {"Seg<procedure", "Seg<constructor", "Seg<destructor"})
            for (std::size_t at = shape.find(kind); at != std::string::npos; at = shape.find(kind, at + 1))
                ++routines;
        EXPECT_EQ(routines, c.routines) << shape;
    }
    // Details that matter: the nested function, the case ranges and the
    // otherwise branch, the handlers of try, the unit's four parts.
    const std::string records = parse(source("records.pas"));
    EXPECT_NE(records.find("[Seg<function Square(n: integer): integer;>"), std::string::npos) << records;
    EXPECT_NE(records.find("OnSelectorBranch<0..9><writeln(n, ' is small');> OnSelectorBranch<10..99>"),
              std::string::npos);
    EXPECT_NE(records.find("[OnSelectorBranch-<writeln(n, ' is large');>]"), std::string::npos);
    const std::string guarded = parse(source("guarded.pas"));
    EXPECT_NE(guarded.find("Frame<except>[Frame<on E: EEmpty do begin><log.Add('empty string');><end;> "
                           "Frame<else><log.Add('other');>-]<end;>"),
              std::string::npos)
        << guarded;
    EXPECT_NE(guarded.find("Frame<finally>[\"writeln(log.Text);\" \"log.Free;\"]<end;>"), std::string::npos);
    const std::string unit = parse(source("counters.pas"));
    EXPECT_NE(unit.find("Frame<initialization><created := 0;>- Frame<finalization>[If<created <> 0>"),
              std::string::npos)
        << unit;
}

#ifndef _WIN32
bool haveFreePascal() {
    return std::system("fpc -iV > /dev/null 2>&1") == 0;
}

// Compiles `source` in the test's directory as `name` (with the compiler's
// `flags`) and runs it; the program's output.
std::string compileAndRun(gen_test::TempDir& dir, const std::string& source, const std::string& name,
                          const std::string& flags = "") {
    gen_test::writeFile(dir.file(name + ".pp"), source);
    const std::string compile = "cd '" + dir.path() + "' && fpc -v0 " + flags + " -o" + name + ".bin " +
                                name + ".pp > " + name + ".log 2>&1";
    if (std::system(compile.c_str()) != 0)
        return "compile failed:\n" + gen_test::readFile(dir.file(name + ".log"));
    const std::string run = "cd '" + dir.path() + "' && ./" + name + ".bin > " + name + ".txt 2>&1";
    if (std::system(run.c_str()) != 0) return "run failed";
    return gen_test::readFile(dir.file(name + ".txt"));
}

// Lines that are structure comments of segments.
std::string withoutSegmentComments(const std::string& text) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(at, end - at);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos ||
            (line.compare(first, 9, "{Korrin:(") && line.compare(first, 9, "{Korrin:)")))
            out += line;
        at = end;
    }
    return out;
}

TEST_F(Corpus, RoundTripThroughTheCompiler) {
    if (!haveFreePascal()) GTEST_SKIP() << "fpc (Debian package fp-compiler) is not installed";
    struct Program {
        std::string name;
        std::string source;
        std::string expected;  // the original's output ("" = compile the original)
    };
    std::vector<Program> programs;
    for (const char* name : {"loops", "grades", "primes"})
        programs.push_back({name, gen_test::readFile(gen_test::examplesDir() + "/" + name + ".pas"),
                            gen_test::readFile(gen_test::examplesDir() + "/" + name + ".out")});
    for (const char* name : {"records", "guarded"})
        programs.push_back({name, source(std::string(name) + ".pas"), ""});
    for (Program& program : programs) {
        SCOPED_TRACE(program.name);
        if (program.expected.empty())
            program.expected = compileAndRun(dir, program.source, program.name + "_orig");
        ASSERT_EQ(program.expected.find("failed"), std::string::npos) << program.expected;
        const std::string first = generateFrom(program.source, program.name + "1");
        ASSERT_NE(first, "") << errors;
        EXPECT_EQ(compileAndRun(dir, first, program.name + "_gen"), program.expected) << first;
        // The generated file again: no segment from it, and the same source.
        const std::string second = generateFrom(first, program.name + "2");
        EXPECT_EQ(errors, "");
        EXPECT_EQ(withoutStamp(second), withoutStamp(withoutSegmentComments(first)));
        EXPECT_EQ(second.find("{Korrin:("), std::string::npos);
        const std::string third = generateFrom(second, program.name + "3");
        EXPECT_EQ(withoutStamp(third), withoutStamp(second));
    }
}

// A program with conditional regions where one statement is expected and
// around routine heads, converted once: compiled with and without its
// symbol, the generated source does what the original does.
TEST_F(Corpus, ConditionalProgramRunsAlikeWithAndWithoutItsSymbol) {
    if (!haveFreePascal()) GTEST_SKIP() << "fpc (Debian package fp-compiler) is not installed";
    const std::string original = source("conditional.pas");
    const std::string generated = generateFrom(original, "conditional1");
    ASSERT_NE(generated, "") << errors;
    EXPECT_EQ(errors, "");
    for (const char* flags : {"", "-dQuick"}) {
        SCOPED_TRACE(flags);
        const std::string expected = compileAndRun(dir, original, "conditional_orig", flags);
        ASSERT_EQ(expected.find("failed"), std::string::npos) << expected;
        EXPECT_EQ(compileAndRun(dir, generated, "conditional_gen", flags), expected) << generated;
    }
}
#endif

}  // namespace
}  // namespace pascal_test
