' Assertions for the VBScript tests run by cscript, as in assert.js: "ok <name>" or
' "not ok <name>: <why>", and the final "done".
Option Explicit
Sub Check(name, condition, detail)
    If condition Then WScript.Echo "ok " & name Else WScript.Echo "not ok " & name & ": " & detail
End Sub
