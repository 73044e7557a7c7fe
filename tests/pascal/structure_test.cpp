// Pascal to constructs: the structures of the language through the
// editor's real import.
#include "plugins/pascal/pascal_parser.h"
#include "tests/pascal/pascal_helpers.h"

namespace pascal_test {
namespace {

class Structure : public PascalTest {};

TEST_F(Structure, StatementsOnlyGiveTextsInOneSegment) {
    ConstructNode* root = import("x := 1;\r\ny := 2; z := 3;\r\n");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->next, nullptr);
    EXPECT_EQ(childAt(root, Slot::Head)->type, ConstructType::Dummy);  // empty header
    const ConstructNode* second = levelInfoOf(root)->body->next;
    EXPECT_EQ(brief(levelInfoOf(root)->body), "\"x := 1;\" \"y := 2;\" \"z := 3;\"");
    EXPECT_EQ(second->lineNumber, 2);
    EXPECT_EQ(errors, "");
}

TEST_F(Structure, ControlStatements) {
    EXPECT_EQ(parse("if (a > 0) and b then x := 1 else begin y; z end;"),
              "If<(a > 0) and b><x := 1>[\"y;\" \"z\"]");
    EXPECT_EQ(parse("if (a) then begin end;"), "If<a>--");
    EXPECT_EQ(parse("while not done do begin step; more; end;"), "While<not done>[\"step;\" \"more;\"]");
    EXPECT_EQ(parse("for i := 1 to 10 do if odd(i) then write(i);"),
              "For<i := 1 to 10>[If<odd(i)><write(i);>-]");
    EXPECT_EQ(parse("repeat a; b until (x = 1) or (y = 2);"), "Repeat[\"a;\" \"b\"]<(x = 1) or (y = 2)>");
    EXPECT_EQ(parse("begin a; begin b end; end;"), "Frame<begin>[\"a;\" Frame<begin><b><end;>]<end;>");
    // A dangling else belongs to the inner if.
    EXPECT_EQ(parse("if a then if b then x else y;"), "If<a>[If<b><x><y;>]-");
    EXPECT_EQ(errors, "");
}

TEST_F(Structure, CaseWithLabelsRangesAndRestBranch) {
    EXPECT_EQ(parse("case k of\r\n  1, 2: one;\r\n  'a'..'z': begin two; three end;\r\nelse\r\n  four;\r\n  "
                    "five;\r\nend;"),
              "OnSelector<k>[OnSelectorBranch<1, 2><one;> OnSelectorBranch<'a'..'z'>[\"two;\" \"three\"]]"
              "[OnSelectorBranch-[\"four;\" \"five;\"]]");
    EXPECT_EQ(parse("case k of 1: ; otherwise x; end;"),
              "OnSelector<k>[OnSelectorBranch<1>-][OnSelectorBranch-<x;>]");
    EXPECT_EQ(parse("case k of end;"), "OnSelector<k>-[OnSelectorBranch--]");
    EXPECT_EQ(errors, "");
}

TEST_F(Structure, WithTryAndHandlers) {
    EXPECT_EQ(parse("with r, s do a := 1;"), "Frame<with r, s do><a := 1;>-");
    EXPECT_EQ(parse("with r do begin a := 1; end;"), "Frame<with r do begin><a := 1;><end;>");
    EXPECT_EQ(parse("try a; b; finally c; end;"), "Frame<try>[\"a;\" \"b;\"]- Frame<finally><c;><end;>");
    EXPECT_EQ(parse("try a except on E: X do b; on Y do begin c end else d end;"),
              "Frame<try><a>- Frame<except>[Frame<on E: X do><b;>- Frame<on Y do begin><c><end> "
              "Frame<else><d>-]<end;>");
    EXPECT_EQ(errors, "");
}

TEST_F(Structure, ProgramWithDeclarationsRoutinesAndMainBlock) {
    EXPECT_EQ(
        parse("program P(output);\r\nuses A, B;\r\nconst\r\n  N = 3;\r\nvar\r\n  i: integer;\r\n"
              "procedure Q(var x: integer);\r\nvar k: integer;\r\nbegin\r\n  x := k;\r\nend;\r\n"
              "begin\r\n  Q(i);\r\nend.\r\nanything after the end"),
        "Frame<program P(output);>[\"uses A, B;\" \"const|  N = 3;\" \"var|  i: integer;\" "
        "Seg<procedure Q(var x: integer);>[Procedure<procedure Q(var x: integer);>"
        "[\"var k: integer;\" Frame<begin><x := k;><end;>]] Seg<Program body>[Frame<begin><Q(i);>-]]<end.>");
    EXPECT_EQ(errors, "");
}

TEST_F(Structure, FunctionsConstructorsInlineForwardAndAsm) {
    EXPECT_EQ(parse("function F(a: integer): integer; forward;\r\nfunction G: integer;\r\nbegin G := 1 end;"),
              "\"function F(a: integer): integer; forward;\" Seg<function G: integer;>[Function<function G: "
              "integer;>"
              "[Frame<begin><G := 1><end;>]]");
    EXPECT_EQ(parse("constructor T.Create;\r\nbegin\r\nend;"),
              "Seg<constructor T.Create;>[Frame<constructor T.Create;>[Frame<begin>-<end;>]-]");
    EXPECT_EQ(parse("inline procedure P; begin end;"),
              "Frame<inline>[Seg<procedure P;>[Procedure<procedure P;>[Frame<begin>-<end;>]]]-");
    EXPECT_EQ(
        parse("procedure A; assembler;\r\nasm\r\n  mov eax, 1\r\n  ret\r\nend;"),
        "Seg<procedure A; assembler;>[Procedure<procedure A; assembler;>[Frame<asm><mov eax, 1|ret><end;>]]");
    EXPECT_EQ(parse("class procedure T.M; begin end;"),
              "Seg<class procedure T.M;>[Procedure<class procedure T.M;>[Frame<begin>-<end;>]]");
    EXPECT_EQ(errors, "");
}

TEST_F(Structure, TypeSectionsKeepRecordsClassesAndProcedureTypesTogether) {
    EXPECT_EQ(
        parse("type\r\n  R = packed record a: integer; case b: byte of 1: (c: real); end;\r\n"
              "  C = class(TObject) procedure M; virtual; end;\r\n  F = class;\r\n  K = class of C;\r\n"
              "  E = class(Exception);\r\n  P = procedure(x: integer) of object;\r\n"
              "  I = interface procedure N; end;\r\nprocedure Z; begin end;"),
        "\"type|  R = packed record a: integer; case b: byte of 1: (c: real); end;|"
        "  C = class(TObject) procedure M; virtual; end;|  F = class;|  K = class of C;|"
        "  E = class(Exception);|  P = procedure(x: integer) of object;|  I = interface procedure N; end;\" "
        "Seg<procedure Z;>[Procedure<procedure Z;>[Frame<begin>-<end;>]]");
    EXPECT_EQ(errors, "");
}

TEST_F(Structure, UnitWithAllFourParts) {
    EXPECT_EQ(
        parse("unit U;\r\ninterface\r\nprocedure P;\r\nimplementation\r\nprocedure P;\r\nbegin\r\nend;\r\n"
              "initialization\r\n  a;\r\nfinalization\r\n  b;\r\nend."),
        "Frame<unit U;>[Frame<interface><procedure P;>- Frame<implementation>"
        "[Seg<procedure P;>[Procedure<procedure P;>[Frame<begin>-<end;>]]]- "
        "Frame<initialization><a;>- Frame<finalization><b;>-]<end.>");
    EXPECT_EQ(parse("unit V; interface implementation begin x; end."),
              "Frame<unit V;>[Frame<interface>-- Frame<implementation>-- Frame<begin><x;>-]<end.>");
    EXPECT_EQ(errors, "");
}

TEST_F(Structure, LibraryAndPackages) {
    // Without DelphiSupport "stdcall" is an ordinary word: a statement.
    EXPECT_EQ(parse("library L;\r\nprocedure P; stdcall; begin end;\r\nexports P;\r\nbegin\r\nend."),
              "Frame<library L;>[Seg<Definition>[Seg<procedure P;>[Procedure<procedure P;>[\"stdcall;\" "
              "Frame<begin>-<end;>]] \"exports P;\"] Seg<Initialization>[Frame<begin>--]]<end.>");
    options("DelphiSupport=yes\r\n");
    EXPECT_EQ(parse("library L;\r\nprocedure P; stdcall; begin end;\r\nbegin\r\nend."),
              "Frame<library L;>[Seg<Definition>[Seg<procedure P; stdcall;>[Procedure<procedure P; stdcall;>"
              "[Frame<begin>-<end;>]]] Seg<Initialization>[Frame<begin>--]]<end.>");
    // A package's declarations form a segment named by the plug-in's text.
    EXPECT_EQ(parse("package K;\r\nrequires rtl;\r\nend."),
              std::string("Frame<package K;>[Seg<") +
                  pascalMessageText(kPasSegPackageHead, kLanguageEnglish) + ">[\"requires rtl;\"]]<end.>");
    EXPECT_EQ(parse("package body K;\r\nvar x: integer;\r\nbegin\r\n  x := 1;\r\nend;"),
              "Frame<package body K;>[Seg<Implementation>[\"var x: integer;\"] "
              "Seg<Initialization>[Frame<begin><x := 1;>-]]<end;>");
    EXPECT_EQ(errors, "");
}

TEST_F(Structure, ConditionsLoseOneEnclosingPairOfParentheses) {
    EXPECT_EQ(parse("if ((a)) then;"), "If<(a)>--");
    EXPECT_EQ(parse("if (a) or (b) then;"), "If<(a) or (b)>--");
    EXPECT_EQ(parse("while (s = ')') do;"), "While<s = ')'>-");
    EXPECT_EQ(parse("if (a { ) } ) then;"), "If<a { ) }>--");
}

TEST_F(Structure, ElementsCarryTheirSourceLines) {
    ConstructNode* root = import("program P;\r\n\r\nbegin\r\n  if a then\r\n    b;\r\nend.\r\n");
    ASSERT_NE(root, nullptr);
    const ConstructNode* program = levelInfoOf(root)->body;
    EXPECT_EQ(program->lineNumber, 1);
    const ConstructNode* segment = childAt(program, Slot::Body);
    EXPECT_EQ(segment->lineNumber, 3);
    const ConstructNode* main = levelInfoOf(segment)->body;
    const ConstructNode* ifNode = childAt(main, Slot::Body);
    EXPECT_EQ(ifNode->lineNumber, 4);
    EXPECT_EQ(childAt(ifNode, Slot::Then)->lineNumber, 5);
    EXPECT_EQ(childAt(program, Slot::Footer)->lineNumber, 6);
}

}  // namespace
}  // namespace pascal_test
