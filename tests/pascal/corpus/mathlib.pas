library MathLib;

function Add(a, b: integer): integer; cdecl;
begin
  Add := a + b;
end;

function Mul(a, b: integer): integer; cdecl;
var
  i, r: integer;
begin
  r := 0;
  for i := 1 to b do
    r := r + a;
  Mul := r;
end;

exports
  Add, Mul;

begin
end.
