program Records;
{ Records, nested procedures and a case with ranges. }
type
  TPoint = record
    x, y: integer;
  end;
  TShape = record
    origin: TPoint;
    case kind: integer of
      0: (radius: integer);
      1: (width, height: integer);
  end;

var
  shapes: array[1..3] of TShape;
  i, total: integer;

function Area(const s: TShape): integer;

  function Square(n: integer): integer;
  begin
    Square := n * n;
  end;

begin
  case s.kind of
    0: Area := 3 * Square(s.radius);
    1: Area := s.width * s.height;
  else
    Area := 0;
  end;
end;

procedure Describe(n: integer);
begin
  case n of
    0..9: writeln(n, ' is small');
    10..99: writeln(n, ' is medium');
    100, 1000: writeln(n, ' is round');
  otherwise
    writeln(n, ' is large');
  end;
end;

begin
  shapes[1].kind := 0;
  shapes[1].radius := 2;
  shapes[2].kind := 1;
  shapes[2].width := 3;
  shapes[2].height := 4;
  shapes[3].kind := 7;
  total := 0;
  for i := 1 to 3 do
    total := total + Area(shapes[i]);
  writeln('total area ', total);
  Describe(5);
  Describe(42);
  Describe(100);
  Describe(5000);
  i := 0;
  repeat
    i := i + 1;
    if odd(i) then
      continue;
    write(i, ' ');
  until i >= 8;
  writeln;
end.
