#include "tests/generator/example_diagrams.h"

#include "tests/generator/generator_helpers.h"

namespace gen_test {

namespace {

// ---------------------------------------------------------------------------
// Pascal examples

ConstructNode* loops(DiagramDocument& doc) {
    ConstructNode* sum = block("Sum of 1 to 10", seq({
                                                     text("sum := 0;"),
                                                     forDo("i := 1 to 10", text("sum := sum + i;")),
                                                     text("writeln('sum 1..10 = ', sum);"),
                                                 }));
    ConstructNode* collatz =
        block("Collatz steps of 27",
              seq({
                  text("n := 27;\r\nsteps := 0;"),
                  whileDo(text("n <> 1"),
                          seq({
                              ifThen(text("odd(n)"), text("n := 3 * n + 1;"), text("n := n div 2;")),
                              text("steps := steps + 1;"),
                          })),
                  text("writeln('collatz 27 = ', steps);"),
              }));
    ConstructNode* digits =
        block("Digits of 9045 backwards",
              seq({
                  text("n := 9045;"),
                  repeatUntil(seq({text("write(n mod 10);"), text("n := n div 10;")}), text("n = 0")),
                  call("writeln"),
              }));
    ConstructNode* power = block("First power of two above 1000",
                                 seq({
                                     text("n := 1;"),
                                     loop(seq({text("n := n * 2;"), exitWhen(text("n > 1000"))})),
                                     text("writeln('first power of two above 1000 = ', n);"),
                                 }));
    ConstructNode* table =
        block("Multiplication table", forDo("i := 1 to 4", seq({
                                                               forDo("j := 1 to 4", text("write(i * j:4);")),
                                                               call("writeln"),
                                                           })));
    return topSegment(doc, frame("program Loops;",
                                 seq({
                                     text("var\r\n  i, j, n, sum, steps: integer;"),
                                     frame("begin", seq({sum, collatz, digits, power, table}), "end."),
                                 }),
                                 nullptr));
}

ConstructNode* grades(DiagramDocument& doc) {
    ConstructNode* grade =
        function("function Grade(score: integer): char;",
                 frame("begin",
                       switchOf(seq({
                                    whenBranch(text("score >= 90"), text("Grade := 'A';")),
                                    whenBranch(andOf(seq({text("score >= 75"), text("score < 90")})),
                                               text("Grade := 'B';")),
                                    whenBranch(andOf(seq({text("score >= 50"), notOf(text("score >= 75"))})),
                                               text("Grade := 'C';")),
                                }),
                                text("Grade := 'F';")),
                       "end;"));
    ConstructNode* describe =
        procedure("procedure Describe(day: integer);",
                  frame("begin",
                        caseOf("day",
                               seq({
                                   ofBranch("1..5", text("writeln(day, ' is a working day');")),
                                   ofBranch("6, 7", text("writeln(day, ' is weekend');")),
                               }),
                               text("writeln(day, ' is no day');")),
                        "end;"));
    ConstructNode* main = frame("begin",
                                seq({
                                    text("s := 30;"),
                                    whileDo(text("s <= 100"), seq({
                                                                  text("writeln(s, ' -> ', Grade(s));"),
                                                                  text("s := s + 15;"),
                                                              })),
                                    forDo("d := 0 to 8", call("Describe(d)")),
                                    ifThen(orOf(seq({text("Grade(100) = 'A'"), text("Grade(0) = 'A'")})),
                                           call("writeln('or works')"), nullptr),
                                }),
                                "end.");
    return topSegment(doc, frame("program Grades;",
                                 seq({grade, describe, text("var\r\n  s, d: integer;"), main}), nullptr));
}

ConstructNode* primes(DiagramDocument& doc) {
    ConstructNode* isPrime =
        function("function IsPrime(n: integer): boolean;",
                 seq({
                     text("var\r\n  d: integer;"),
                     frame("begin",
                           seq({
                               text("IsPrime := n >= 2;"),
                               text("d := 2;"),
                               whileDo(text("d * d <= n"),
                                       seq({
                                           ifThen(text("n mod d = 0"), text("IsPrime := false;"), nullptr),
                                           text("d := d + 1;"),
                                       })),
                           }),
                           "end;"),
                 }));
    ConstructNode* fib = function(
        "function Fib(n: integer): integer;",
        frame("begin", ifThen(text("n < 2"), text("Fib := n;"), text("Fib := Fib(n - 1) + Fib(n - 2);")),
              "end;"));
    ConstructNode* printPrimes = procedure(
        "procedure PrintPrimes(limit: integer);",
        seq({
            text("var\r\n  i, count: integer;"),
            frame("begin",
                  seq({
                      text("count := 0;"),
                      segment(
                          doc, "the primes",
                          forDo("i := 1 to limit",
                                ifThen(text("IsPrime(i)"),
                                       seq({text("write(i, ' ');"), text("count := count + 1;")}), nullptr))),
                      call("writeln"),
                      text("writeln(count, ' primes up to ', limit);"),
                  }),
                  "end;"),
        }));
    ConstructNode* declarations = segment(doc, "functions", seq({isPrime, fib, printPrimes}));
    ConstructNode* sum = segment(doc, "their sum",
                                 seq({
                                     text("sum := 0;\r\nk := 0;"),
                                     repeatUntil(seq({text("sum := sum + Fib(k);"), text("k := k + 1;")}),
                                                 orOf(seq({text("k = 10"), text("sum > 1000")}))),
                                     text("writeln('sum of the first ', k, ' = ', sum);"),
                                 }));
    ConstructNode* fibonacci = segment(doc, "Fibonacci numbers",
                                       seq({
                                           forDo("k := 0 to 10", text("write(Fib(k), ' ');")),
                                           call("writeln"),
                                           sum,
                                       }));
    return topSegment(doc, frame("program Primes;",
                                 seq({
                                     declarations,
                                     text("var\r\n  k, sum: integer;"),
                                     frame("begin", seq({call("PrintPrimes(50)"), fibonacci}), "end."),
                                 }),
                                 nullptr));
}

// ---------------------------------------------------------------------------
// Golden diagrams

ConstructNode* constructs(DiagramDocument& doc) {
    return topSegment(
        doc, seq({
                 text("first;"),
                 ifThen(text("a"), text("b;"), nullptr),
                 ifThen(nullptr, nullptr, nullptr),
                 whileDo(andOf(seq({text("x"), orOf(seq({text("y"), text("z")})), notOf(text("w"))})),
                         text("body;")),
                 loop(seq({text("step;"), exitWhen(notOf(nullptr))})),
                 switchOf(seq({whenBranch(text("k = 1"), text("one;")), whenBranch(text("k = 2"), nullptr)}),
                          nullptr),
                 caseOf("c", seq({ofBranch("'a'..'z'", text("letter;")), ofBranch(nullptr, nullptr)}),
                        text("other;")),
                 forDo("i := 1 to 2", nullptr),
                 repeatUntil(text("r;"), orOf(seq({text("p"), text("q")}))),
                 call("Proc(1, 2)"),
                 block("a block", text("in block;")),
                 procedure("procedure P;", frame("begin", text("p;"), "end;")),
                 function("function F: integer;", frame("begin", text("F := 1;"), "end;")),
                 frame("begin", text("framed;"), "end;"),
                 segment(doc, "a segment", text("inside;")),
                 hostCommand("HOST"),
                 specialText("special"),
                 text("last;"),
             }));
}

ConstructNode* segments(DiagramDocument& doc) {
    return topSegment(
        doc,
        seq({
            text("before;"),
            segment(doc, "one",
                    seq({
                        text("in one;"),
                        segment(doc, "one.a", text("in one.a;")),
                        segment(doc, "one.b", segment(doc, "one.b.i", text("deepest;"))),
                    })),
            procedure("procedure Q;", frame("begin", segment(doc, "in a procedure", text("q;")), "end;")),
            segment(doc, "empty", nullptr),
            text("after;"),
        }));
}

ConstructNode* texts(DiagramDocument& doc) {
    return topSegment(
        doc, frame("program Texts;",
                   seq({
                       labelled(text("var\r\n  a,\r\n  b: integer;"), "L1", "R1"),
                       frame("begin",
                             seq({
                                 labelled(text("a := 1;\r\nb := 2;"), "start", nullptr),
                                 ifThen(andOf(seq({text("a = 1"), text("b\r\n= 2")})),
                                        text("writeln('two lines'\r\n  , ' in a call');"), text("")),
                                 labelled(whileDo(text("a < 3"), text("a := a + 1;")), nullptr, "right"),
                                 text("\r\n"),
                                 forDo("a := 1\r\nto 3", text("b := a;\n\nb := b + 1;")),
                             }),
                             "end."),
                   }),
                   nullptr));
}

constexpr ExampleDiagram kPascalExamples[] = {{"loops", loops}, {"grades", grades}, {"primes", primes}};
constexpr ExampleDiagram kGoldenDiagrams[] = {
    {"constructs", constructs}, {"segments", segments}, {"texts", texts}};

}  // namespace

std::span<const ExampleDiagram> pascalExamples() {
    return kPascalExamples;
}

std::span<const ExampleDiagram> goldenDiagrams() {
    return kGoldenDiagrams;
}

}  // namespace gen_test
