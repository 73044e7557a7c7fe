{ Conditional compilation where one statement is expected and around
  routine heads: the program behaves the same with and without Quick. }
program Conditional;
{$mode objfpc}
var
  i, n: integer;

{$ifdef Quick}
function Twice(x: integer): integer;
begin
  Twice := x + x;
end;
{$else}
function Twice(x: integer): integer;
begin
  Twice := 2 * x;
  if x < 0 then
    Twice := -Twice(-x);
end;
{$endif}

begin
  n := 0;
  for i := 1 to 5 do
    {$ifdef Quick} n := n + i; {$else} if odd(i) then n := n + Twice(i) else n := n - 1; {$endif}
  if n > 10 then
    writeln('big ', n)
  else
    {$ifndef Quick}
    writeln('small ', n);
    {$else}
    begin
      writeln('quick small');
      writeln(n);
    end;
    {$endif}
  case n mod 3 of
    0: {$ifdef Quick} writeln('zero'); {$else} writeln('none'); {$endif}
    1: writeln('one');
  else
    writeln('two');
  end;
  {$ifdef Quick}
  writeln('done quickly');
  {$else}
  while n > 0 do
    n := n div 2;
  writeln('done ', n);
  {$endif}
end.
