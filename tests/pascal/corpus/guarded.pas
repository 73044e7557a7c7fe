{$mode objfpc}
program Guarded;
uses SysUtils, Classes;

type
  EEmpty = class(Exception);

function Divide(a, b: integer): integer;
begin
  if b = 0 then
    raise EDivByZero.Create('division by zero');
  Result := a div b;
end;

function First(const s: string): char;
begin
  if s = '' then
    raise EEmpty.Create('empty');
  First := s[1];
end;

var
  log: TStringList;
  k: integer;

begin
  log := TStringList.Create;
  try
    for k := 2 downto 0 do
    begin
      try
        log.Add(IntToStr(Divide(10, k)));
      except
        on E: EDivByZero do
          log.Add('caught: ' + E.Message);
      end;
    end;
    try
      First('');
    except
      on E: EEmpty do begin
        log.Add('empty string');
      end;
    else
      log.Add('other');
    end;
  finally
    writeln(log.Text);
    log.Free;
  end;
end.
