' A long unattended run: a line of a report typed into notepad every few seconds, paced by Rest,
' which waits until the machine has been idle instead of sleeping a fixed time. The Pause (Break)
' key stops it at the next wait: the pause box then resumes the run (Retry) or ends it (Abort).
' Usage: cscript long-run.vbs [lines]   (default 20)
Option Explicit
Dim k, lines, i

Set k = CreateObject("Kelmo.CKelmo")
lines = 20
If WScript.Arguments.Count > 0 Then lines = CInt(WScript.Arguments(0))
k.RestMax = 3   ' a Rest with no seconds given waits at most 3 s

k.Exec "notepad"
For i = 1 To lines
    k.Send "Report line " & i & " of " & lines & ", written at " & Time & "~"
    WScript.Echo "Wrote line " & i
    k.Rest 0, True   ' True: wait the full time even though notepad stays in front
Next
k.Send "%{F4}"
k.Rest 2, True
k.Send "n"
WScript.Echo "Done: " & lines & " lines."
