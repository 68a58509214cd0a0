' Asks a yes/no question that answers itself, and goes one way or the other.
' Usage: cscript timed-question.vbs
' Popup2 counts down the seconds in its text and presses the default button when the time is up:
' here No after 10 s, so an unattended run takes the safe branch.
Option Explicit
Dim k, answer

Set k = CreateObject("Kelmo.CKelmo")
answer = k.Popup2("Write today's note into notepad?", 10, 2)
If answer = 1 Then
    k.Exec "notepad"
    k.Send "Note of " & Date & ": all checks passed.~"
    WScript.Echo "Yes: wrote the note (notepad stays open)."
Else
    ' Popup with a title and an information icon (64) that closes itself after 3 s.
    k.Popup "Nothing was written.", 3, "Kelmo example", 64
    WScript.Echo "No: nothing written."
End If
