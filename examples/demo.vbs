' Kelmo demo: starts notepad, types a few lines into it piece by piece, pastes a paragraph
' through the clipboard, and reports what it did and how long each step took.
Option Explicit
Dim k, started, index

Set k = CreateObject("Kelmo.CKelmo")

WScript.Echo "Kelmo is ready. Its settings:"
WScript.Echo "  Atom " & k.Atom & " ms, Mol1 " & k.Mol1 & " ms, Mol2 " & k.Mol2 & " ms, Speed " & _
    k.Speed & " %, ODflag " & k.ODflag & ", Repeat " & k.Repeat & ", RestMax " & k.RestMax & " s"
WScript.Echo "  AppNum " & k.AppNum & ", AppCur " & k.AppCur & ", DefFld " & k.DefFld & _
    ", WinDrv " & k.WinDrv

Function Elapsed()
    Elapsed = FormatNumber(Timer - started, 2) & " s"
End Function

' Start notepad: Exec waits until the machine has settled and notepad's window is in front,
' and registers it as the current application, the one Send and Pass bring to the front first.
started = Timer
index = k.Exec("notepad")   ' a name with a dot would be taken as a file in DefFld
WScript.Echo "Started notepad as application " & index & " of " & k.AppNum & ", its window """ & _
    k.Title & """ (" & Elapsed() & ")."

started = Timer
k.Send "Kelmo types this line key by key.~"
k.Send "{TAB}Named keys, a group: +(shift held) and a repeat: {- 10}~"
WScript.Echo "Typed two lines with Send (" & Elapsed() & ")."

started = Timer
k.Pass "This paragraph was pasted through the clipboard in one go, " & _
    "and the clipboard holds again what it held before.", 1
WScript.Echo "Pasted a paragraph with Pass and pressed Enter once (" & Elapsed() & ")."

started = Timer
k.PassF "demo-file.txt", 1
WScript.Echo "Pasted the quoted full path of demo-file.txt with PassF (" & Elapsed() & ")."

If WScript.Arguments.Count = 0 Then
    ' Leave notepad without saving: Alt+F4, then "do not save" in its question.
    k.Rest 1
    k.Send "%{F4}"
    k.Rest 1
    k.Send "n"
    WScript.Echo "Closed notepad without saving."
End If
WScript.Echo "Done. A box that closes itself after 2 s answered " & _
    k.Popup("The Kelmo demo is done.", 2) & " (-1: nobody answered)."
