' Kelmo demo: creates the automation object and reports its settings.
Option Explicit
Dim k
Set k = CreateObject("Kelmo.CKelmo")

WScript.Echo "Kelmo is ready. Its settings:"
WScript.Echo "  Atom    = " & k.Atom & " ms (one pacing step)"
WScript.Echo "  Mol1    = " & k.Mol1 & " ms (idle time between actions)"
WScript.Echo "  Mol2    = " & k.Mol2 & " ms (idle time of a long settling round)"
WScript.Echo "  Speed   = " & k.Speed & " % (CPU usage below which the machine counts as idle)"
WScript.Echo "  ODflag  = " & k.ODflag
WScript.Echo "  Repeat  = " & k.Repeat
WScript.Echo "  RestMax = " & k.RestMax & " s"
WScript.Echo "  AppNum  = " & k.AppNum
WScript.Echo "  AppCur  = " & k.AppCur
WScript.Echo "  DefFld  = " & k.DefFld
WScript.Echo "  WinDrv  = " & k.WinDrv
