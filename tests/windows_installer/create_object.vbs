' SPDX-License-Identifier: MIT
' Creates the ProgID by name, as a host does. Argument: ProgID.
On Error Resume Next
Dim d
Set d = CreateObject(WScript.Arguments(0))
If Err.Number <> 0 Then
  WScript.Echo "RESULT refused " & Err.Number
Else
  WScript.Echo "RESULT created " & d.PluginName
End If
