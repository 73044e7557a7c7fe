// What real Pascal code holds beyond the textbook: conditional compilation,
// parts in include files, the dialects, texts longer than one construct
// takes. Each family as a table of cut-down cases checked on the tree the
// callbacks build.
#include <string>

#include "tests/pascal/pascal_helpers.h"

namespace pascal_test {
namespace {

class RealCode : public PascalTest {
protected:
    struct Case {
        const char* options;  // ParseOptions lines
        const char* source;
        const char* shape;   // the brief of the top segment
        const char* errors;  // the error file
    };
    template <std::size_t N>
    void check(const Case (&cases)[N]) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.source);
            options(c.options);
            EXPECT_EQ(parse(c.source), c.shape);
            EXPECT_EQ(errors, c.errors);
        }
    }
};

TEST_F(RealCode, ConditionalRegionCountsAsOneStatementWhereOneIsExpected) {
    const Case cases[] = {
        // The alternative the symbols select gives the structure; the other
        // and the directives are texts in the same branch.
        {"",
         "if Ready then Start\r\nelse\r\n  {$ifdef Quick} Skip; {$else} if Found then Use else Report; "
         "{$endif}",
         "If<Ready><Start>[\"{$ifdef Quick} Skip; {$else}\" If<Found><Use><Report;> \"{$endif}\"]", ""},
        {"Defines=Quick\r\n",
         "if Ready then Start\r\nelse\r\n  {$ifdef Quick} Skip; {$else} if Found then Use else Report; "
         "{$endif}",
         "If<Ready><Start>[\"{$ifdef Quick} Skip;\" \"{$else} if Found then Use else Report; {$endif}\"]",
         ""},
        {"", "while a do\r\n{$ifndef B}\r\n  x;\r\n{$endif}\r\ny;",
         "While<a>[\"{$ifndef B}|  x;\" \"{$endif}\"] \"y;\"", ""},
        {"", "for i := 1 to 2 do {$if defined(A) or (V >= 2)} p {$elseif C} q {$else} r {$ifend};",
         "For<i := 1 to 2><{$if defined(A) or (V >= 2)} p {$elseif C} q {$else} r {$ifend};>", ""},
        {"", "case k of\r\n  1: {$ifdef A} a; {$else} begin b; c end; {$endif}\r\n  2: d;\r\nend;",
         "OnSelector<k>[OnSelectorBranch<1>[\"{$ifdef A} a; {$else}\" Frame<begin>[\"b;\" \"c\"]<end;> "
         "\"{$endif}\"] OnSelectorBranch<2><d;>][OnSelectorBranch--]",
         ""},
    };
    check(cases);
}

TEST_F(RealCode, ConditionalAlternativesAroundStructureWordsStayAsText) {
    const Case cases[] = {
        // Alternative routine heads: the selected one heads the routine.
        {"",
         "{$ifdef WIDE}\r\nprocedure P(s: widestring);\r\n{$else}\r\nprocedure P(s: string);\r\n{$endif}\r\n"
         "begin\r\nend;",
         "\"{$ifdef WIDE}|procedure P(s: widestring);|{$else}\" Seg<procedure P(s: "
         "string);>[Procedure<procedure "
         "P(s: string);>[\"{$endif}\" Frame<begin>-<end;>]]",
         ""},
        // Symbols defined in the source, and Mac Pascal's forms.
        {"", "{$define WIDE}{$ifc defined WIDE}\r\nx;\r\n{$elsec}\r\ny; end; end;\r\n{$endc}\r\nz;",
         "\"{$define WIDE}{$ifc defined WIDE}|x;\" \"{$elsec}|y; end; end;|{$endc}|z;\"", ""},
        {"", "{$setc V := 3}(*$IF V > 2*) a; (*$ELSE*) b; (*$ENDIF*) {$undef X}{$ifdef X} c; {$endif}",
         "\"{$setc V := 3}(*$IF V > 2*) a;\" \"(*$ELSE*) b; (*$ENDIF*) {$undef X}{$ifdef X} c; {$endif}\"",
         ""},
        // A number too large for 64 bits is the largest there is.
        {"", "{$setc V := 99999999999999999999}(*$IF V > 2*) a; (*$ELSE*) b; (*$ENDIF*)",
         "\"{$setc V := 99999999999999999999}(*$IF V > 2*) a;\" \"(*$ELSE*) b; (*$ENDIF*)\"", ""},
        // Text only another compiler reads.
        {"Defines=FPC;WINDOWS\r\n", "{$ifndef FPC}\r\n  this is no Pascal at all begin\r\n{$endif}\r\nx;",
         "\"{$ifndef FPC}|  this is no Pascal at all begin|{$endif}|x;\"", ""},
        // Unit parts and handlers inside regions.
        {"", "unit U; interface implementation\r\n{$ifdef A}\r\ninitialization\r\n  a;\r\n{$endif}\r\nend.",
         "Frame<unit U;>[Frame<interface>-- Frame<implementation><{$ifdef A}|initialization|  "
         "a;|{$endif}>-]<end.>",
         ""},
        {"Defines=A\r\n", "try x;\r\n{$ifdef A}\r\nexcept y;\r\n{$else}\r\nfinally z;\r\n{$endif}\r\nend;",
         "Frame<try>[\"x;\" \"{$ifdef A}\"]- Frame<except>[\"y;\" \"{$else}|finally z;|{$endif}\"]<end;>",
         ""},
        // A region never closed is refused with the line of its beginning.
        {"", "x;\r\n{$ifdef A}\r\ny;\r\n", "failed",
         "Line 2: Error: Conditional compilation region not closed ({$ENDIF} expected)\r\n"},
    };
    check(cases);
}

TEST_F(RealCode, PartsInIncludeFilesAreWarnings) {
    const Case cases[] = {
        {"", "unit U;\r\n{$i intf.inc}\r\nimplementation\r\nend.",
         "Frame<unit U;>[\"{$i intf.inc}\" Frame<implementation>--]<end.>",
         "Line 3: Warning: Interface part not found: taken to be in include file intf.inc\r\n"},
        {"", "unit U;\r\ninterface\r\n{$include impl.inc}\r\n",
         "Frame<unit U;>[Frame<interface><{$include impl.inc}>-]-",
         "Line 4: Warning: Implementation part not found: taken to be in include file impl.inc\r\n"
         "Line 4: Warning: END expected: taken to be in include file impl.inc\r\n"},
        // Switches are no include files.
        {"", "unit U;\r\n{$I+}\r\nimplementation\r\nend.", "failed",
         "Line 3: Error: Interface part not found\r\n"},
    };
    check(cases);
}

TEST_F(RealCode, Dialects) {
    const Case cases[] = {
        {"",
         "operator := (v: qword): u128; inline;\r\nbegin\r\nend;\r\noperator mod (a, b: t) c: "
         "t;\r\nbegin\r\nend;",
         "Seg<operator := (v: qword): u128; inline;>[Function<operator := (v: qword): u128; "
         "inline;>[Frame<begin>-<end;>]] Seg<operator mod (a, b: t) c: t;>[Function<operator mod (a, b: t) "
         "c: "
         "t;>[Frame<begin>-<end;>]]",
         ""},
        {"", "{$mode macpas}\r\nunit M;\r\ninterface\r\nprocedure P;\r\nend.",
         "\"{$mode macpas}\" Frame<unit M;>[Frame<interface><procedure P;>-]<end.>", ""},
        {"", "program P;\r\nlabel 1, done;\r\nbegin\r\n  if a then 1: done: b;\r\nend.",
         "Frame<program P;>[\"label 1, done;\" Seg<Program body>[Frame<begin>[If<a>[\"1:\" \"done:\" "
         "\"b;\"]-]-]]<end.>",
         ""},
        {"",
         "unit export;\r\ninterface\r\nimplementation\r\nprocedure P; assembler;\r\nasm\r\n  jmp "
         "@End\r\n@End:\r\nend;"
         "\r\nend.",
         "Frame<unit export;>[Frame<interface>-- Frame<implementation>[Seg<procedure P; "
         "assembler;>[Procedure<procedure "
         "P; assembler;>[Frame<asm><jmp @End|@End:><end;>]]]-]<end.>",
         ""},
        {"", "unit Foo.Bar;\r\ninterface\r\nuses System.SysUtils;\r\nimplementation\r\nend.",
         "Frame<unit Foo.Bar;>[Frame<interface><uses System.SysUtils;>- Frame<implementation>--]<end.>", ""},
        {"",
         "type\r\n  NSView = objcclass external (NSResponder)\r\n    procedure draw; message 'draw';\r\n  "
         "end;\r\n  NSFwd = objcclass external;\r\nprocedure Q; begin end;",
         "\"type|  NSView = objcclass external (NSResponder)|    procedure draw; message 'draw';|  end;|  "
         "NSFwd = "
         "objcclass external;\" Seg<procedure Q;>[Procedure<procedure Q;>[Frame<begin>-<end;>]]",
         ""},
        {"",
         "type\r\n  generic TList<T>=class\r\n    procedure Add(x: T);\r\n  end;\r\nvar Package: "
         "integer;\r\nbegin package := r.package; end;",
         "\"type|  generic TList<T>=class|    procedure Add(x: T);|  end;\" \"var Package: integer;\" "
         "Frame<begin><package := r.package;><end;>",
         ""},
        {"",
         "procedure Z(p: pchar); [external name 'z'];\r\nprocedure L; syscall Base 42;\r\nprocedure A; "
         "assembler;\r\nasm\r\n  nop\r\nend ['eax'];",
         "\"procedure Z(p: pchar); [external name 'z'];\" \"procedure L; syscall Base 42;\" Seg<procedure A; "
         "assembler;>[Procedure<procedure A; assembler;>[Frame<asm><nop><end ['eax'];>]]",
         ""},
        {"", "\xef\xbb\xbfx := r.&end;", "\"x := r.&end;\"", ""},
        {"", "if assigned(Package) then x; if r<>0then y;", "If<assigned(Package)><x;>- If<r<>0><y;>-", ""},
    };
    check(cases);
}

TEST_F(RealCode, TextsLongerThanAConstructTakesAreSplitNotCut) {
    // A 40,000-character comment: split at line ends into texts, a warning
    // names the line, and the generated source holds every character.
    std::string comment = "{";
    for (int i = 0; comment.size() < 40000; ++i)
        comment += " line " + std::to_string(i) + " of the comment\r\n";
    comment += "}";
    const std::string source = "program Long;\r\nbegin\r\n  " + comment + "\r\n  writeln('x');\r\nend.\r\n";
    const std::string shape = parse(source);
    EXPECT_EQ(errors,
              "Line 3: Warning: Text longer than 29987 characters continued in the next construct\r\n");
    EXPECT_NE(shape.find("of the comment\" \""), std::string::npos) << "two texts";
    const std::string generated = generateFrom(source, "long");
    std::string body = comment.substr(1);
    std::size_t at = 0;
    for (std::size_t line = 0; at < body.size(); ++line) {
        const std::size_t end = body.find("\r\n", at);
        const std::string text = body.substr(at, end - at);
        ASSERT_NE(generated.find(text.substr(text.find_first_not_of(' '))), std::string::npos) << text;
        at = end == std::string::npos ? body.size() : end + 2;
    }
}

}  // namespace
}  // namespace pascal_test
