' SPDX-License-Identifier: MIT
' init reads the network output from the registry (the test wrote it with
' reg add) and starts it; each SetChannel also goes to the network; the
' sender ends its stream when the DLL unloads after the script.
' Arguments: ProgID, application title.
Option Explicit
On Error Resume Next

Dim d, r, failures
failures = 0
Sub Expect(name, got, want)
  If CStr(got) <> CStr(want) Then
    failures = failures + 1
    WScript.Echo "FAIL " & name & ": got [" & got & "] want [" & want & "]"
  End If
End Sub

Set d = CreateObject(WScript.Arguments(0))
r = d.init(WScript.Arguments(1), "Lumivane.dll", Nothing)
Expect "init", r & " " & Err.Number & " " & Err.Description, "False 0 "
Err.Clear
r = d.SetChannel(1, 10)
r = d.SetChannel(2, 20)
r = d.SetChannel(3, 30)
r = d.SetChannel(512, 255)
Expect "SetChannel", r & " " & Err.Number, "True 0"
' Longer than the idle refresh: the last state goes out again.
' Wine's script host has no WScript.Sleep: wait on the clock, bounded.
Dim t0, n
t0 = Timer : n = 0
Do While Abs(Timer - t0) < 1.2 And n < 100000000
  n = n + 1
Loop
r = d.Term
Expect "Term", r & " " & Err.Number, "False 0"
Set d = Nothing
If failures = 0 Then WScript.Echo "RESULT ok" Else WScript.Echo "RESULT FAILED"
