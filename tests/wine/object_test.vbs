' The object from VBScript: the defaults in their variant types, Set and Nothing, the platform
' objects.
Dim k, other, defaults
Function Typed(value)
    Typed = value & "/" & VarType(value) & " "
End Function
Set k = CreateObject("Kelmo.CKelmo")
defaults = Typed(k.Atom) & Typed(k.Mol1) & Typed(k.Mol2) & Typed(k.Speed) & Typed(k.ODflag) & _
    Typed(k.Repeat) & Typed(k.RestMax) & VarType(k.IEC)
Check "defaults and their types", defaults = "25/3 100/3 1000/3 90/3 True/11 5/2 10/3 9", defaults
Check "IEC is Nothing at first", k.IEC Is Nothing, "an object"
k.Atom = 1 : k.Mol1 = 1 : k.Speed = 101 : k.ODOn ' no wait for an idle machine
Check "FS is the same object each time", k.FS Is k.FS, "another object"
Check "oShell is a Shell object", Not (k.oShell.NameSpace(k.WinDrv) Is Nothing), "no folder"
Set other = CreateObject("Scripting.Dictionary")
Set k.IEC = other
Check "IEC gives back the object assigned", k.IEC Is other, "another object"
Set k.IEC = Nothing
Check "Set IEC = Nothing empties it", k.oIE Is Nothing, "still set"
Set k.IEC = other
k.IEC = Null
Check "IEC = Null empties it", k.IEC Is Nothing, "still set"
WScript.Echo "done"
