' Gathers the text files of a folder onto the desktop, shows each one for a few seconds, and
' asks (a question that answers itself) whether to keep the gathered copy.
' Usage: cscript gather-and-review.vbs [source folder]   (without one, Kelmo asks for it)
Option Explicit
Dim k, source, gathered, file, shown

Set k = CreateObject("Kelmo.CKelmo")
If WScript.Arguments.Count > 0 Then source = WScript.Arguments(0) Else source = "?"

' The source names the folder; "*.txt" picks the files; "Review_D" names the desktop folder.
gathered = k.FldSetD(source, "*.txt", "Review_D")
WScript.Echo "Gathered into " & gathered

shown = 0
For Each file In k.FldFiles
    k.FrmShow file.Path, 3   ' closes itself after 3 s; a double-click closes it sooner
    shown = shown + 1
Next
WScript.Echo "Showed " & shown & " file(s)."

' Popup2 answers 2 (No) by itself after 8 s: keeping the copy is the safe default.
If k.Popup2("Delete the gathered copy " & gathered & " ?", 8, 2) = 1 Then
    k.FldDelete gathered
    WScript.Echo "Deleted the gathered copy."
Else
    WScript.Echo "Kept the gathered copy."
End If
