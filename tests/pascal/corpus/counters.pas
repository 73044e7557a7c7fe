{$mode objfpc}
unit Counters;

interface

type
  TCounter = class
  private
    FValue: integer;
  public
    constructor Create(start: integer);
    destructor Destroy; override;
    procedure Step(by: integer);
    property Value: integer read FValue;
  end;

function Total: integer;

implementation

var
  created: integer;

constructor TCounter.Create(start: integer);
begin
  inherited Create;
  FValue := start;
  created := created + 1;
end;

destructor TCounter.Destroy;
begin
  created := created - 1;
  inherited Destroy;
end;

procedure TCounter.Step(by: integer);
begin
  with Self do
    FValue := FValue + by;
end;

function Total: integer;
begin
  Total := created;
end;

initialization
  created := 0;
finalization
  if created <> 0 then
    writeln('leaked ', created);
end.
