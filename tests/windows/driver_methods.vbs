' SPDX-License-Identifier: MIT
' The object as a script host drives it: created by ProgID, called by name
' with variables (passed as references to variants) and with literals.
' cscript exits 0 whatever happens: the last line says how it went.
Option Explicit
On Error Resume Next

Dim checks, failures
checks = 0 : failures = 0

Sub Check(name, got, want)
  checks = checks + 1
  If CStr(got) <> CStr(want) Then
    failures = failures + 1
    WScript.Echo "FAIL " & name & ": got [" & got & "] want [" & want & "]"
  End If
End Sub

' The error the last call left, then cleared.
Function LastError()
  LastError = Err.Number & " " & Err.Description
  Err.Clear
End Function

Dim d, r, ch, v, t, f
Set d = CreateObject(WScript.Arguments(0))
Check "create", LastError(), "0 "

Check "PluginName before init", d.PluginName, "Lumivane DMX Pro Driver"
Check "names in any case", d.PLUGINNAME(), "Lumivane DMX Pro Driver"
Check "Enable", d.Enable, True
Check "Disable", d.Disable, True
Check "no error so far", LastError(), "0 "
' The dialog, modeless: shown, then only brought forward.
Check "Configure", d.Configure & " " & LastError(), "True 0 "
Check "Configure again", d.Configure & " " & LastError(), "True 0 "

' The SetChannel table, with variables and with literals.
Dim cases, c
cases = Array( _
  Array(0, 10, False, "0 "), Array(513, 10, False, "0 "), _
  Array(1, 0, True, "0 "), Array(512, 255, True, "0 "), _
  Array(1, 256, "-", "6 Overflow"), Array(1, -1, "-", "6 Overflow"), _
  Array(600, 300, False, "0 "), _
  Array(2.5, "7", True, "0 "), Array("12", 3.5, True, "0 "), _
  Array("x", 1, "-", "13 Type mismatch"), Array(1, "", "-", "13 Type mismatch"), _
  Array(1, "1e3", "-", "6 Overflow"), Array(Empty, 0, False, "0 "), _
  Array(Null, 0, "-", "13 Type mismatch"), Array(True, 5, False, "0 "))
' A failed call assigns nothing: r keeps "-".
For Each c In cases
  ch = c(0) : v = c(1) : r = "-"
  r = d.SetChannel(ch, v)
  Check "SetChannel(" & ch & ", " & v & ") variables", r & " " & LastError(), c(2) & " " & c(3)
  Check "SetChannel(" & ch & ", " & v & ") arguments unchanged", ch & "|" & v, c(0) & "|" & c(1)
  r = "-"
  r = d.SetChannel((c(0)), (c(1)))
  Check "SetChannel(" & ch & ", " & v & ") by value", r & " " & LastError(), c(2) & " " & c(3)
Next
d.SetChannel 7, 70
Check "statement call with variables", LastError(), "0 "

' Failures of the call itself.
d.SetChannel 1
Check "too few arguments", LastError(), "450 Wrong number of arguments"
d.Enable 1
Check "too many arguments", LastError(), "450 Wrong number of arguments"
d.NoSuchMethod
Check "unknown method", LastError(), "438 Object doesn't support this property or method"
r = d.SetChannel(1, 999)
Check "Err.Source", Err.Source, WScript.Arguments(0)
Err.Clear

' init with no stored settings opens nothing; Term closes nothing.
Dim title
title = "Lumivane Wine Test " & Timer
t = title : f = "Lumivane.dll"
r = d.init(t, f, Nothing)
Check "init", r & " " & LastError(), "False 0 "
Check "init leaves its arguments", t & "|" & f, title & "|Lumivane.dll"
r = d.init("literal title", "x.dll", d)
Check "init with an object and literals", r & " " & LastError(), "False 0 "
r = d.init(1, 2)
Check "init with two arguments", LastError(), "450 Wrong number of arguments"
r = d.init("t", "f", 5)
Check "init with a number for the helper", LastError(), "13 Type mismatch"
Check "Term", d.Term & " " & LastError(), "False 0 "
Check "Term again", d.Term & " " & LastError(), "False 0 "

Dim other
Set other = CreateObject(WScript.Arguments(0))
Check "second object", other.SetChannel(3, 30) & " " & LastError(), "True 0 "
Set other = Nothing

If failures = 0 Then
  WScript.Echo "RESULT ok, " & checks & " checks"
Else
  WScript.Echo "RESULT FAILED, " & failures & " of " & checks & " checks"
End If
