' Assertions for the VBScript tests run by cscript, as in assert.js: "ok <name>" or
' "not ok <name>: <why>", and the final "done".
Option Explicit
Sub Check(name, condition, detail)
    If condition Then WScript.Echo "ok " & name Else WScript.Echo "not ok " & name & ": " & detail
End Sub
Sub Eq(name, want, got)
    Check name, want = got, "want <" & want & "> got <" & got & ">"
End Sub
' Checks the error left by the statement before (run under On Error Resume Next).
Sub Raised(name, number)
    Check name, Err.Number = number, "error " & Err.Number & " (" & Err.Description & ")"
    Err.Clear
End Sub
