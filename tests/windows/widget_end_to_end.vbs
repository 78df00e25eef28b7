' SPDX-License-Identifier: MIT
' init reads the stored settings (the test wrote them with reg add), opens
' the widget's port and sends the initial frame; each SetChannel sends one
' frame; Term closes the port. Arguments: ProgID, application title.
Option Explicit
On Error Resume Next

Dim d, r, i, t, f, failures
failures = 0
Sub Expect(name, got, want)
  If CStr(got) <> CStr(want) Then
    failures = failures + 1
    WScript.Echo "FAIL " & name & ": got [" & got & "] want [" & want & "]"
  End If
End Sub

Set d = CreateObject(WScript.Arguments(0))
t = WScript.Arguments(1) : f = "Lumivane.dll"
r = d.init(t, f, Nothing)
Expect "init", r & " " & Err.Number & " " & Err.Description, "False 0 "
Err.Clear
For i = 1 To 5
  r = d.SetChannel(i, i * 10)
  Expect "SetChannel " & i, r & " " & Err.Number, "True 0"
Next
r = d.SetChannel(512, 255)
r = d.SetChannel(0, 1)
Expect "rejected channel", r & " " & Err.Number, "False 0"
r = d.Term
Expect "Term", r & " " & Err.Number, "False 0"
If failures = 0 Then WScript.Echo "RESULT ok" Else WScript.Echo "RESULT FAILED"
