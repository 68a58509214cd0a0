' The object from VBScript: defaults, stored variables, optional arguments, errors in Err.
Dim k
Set k = CreateObject("Kelmo.CKelmo")
Eq "Atom 25", 25, k.Atom
Eq "Mol1 100", 100, k.Mol1
Eq "Mol2 1000", 1000, k.Mol2
Eq "Speed 90", 90, k.Speed
Eq "ODflag True", True, k.ODflag
Eq "Repeat 5", 5, k.Repeat
Eq "RestMax 10", 10, k.RestMax
Check "IEC Nothing", k.IEC Is Nothing, "IEC is set"
k.Atom = 1
k.Mol1 = 1
Eq "AppNum 0", 0, k.AppNum
Eq "AppCur 0", 0, k.AppCur
Eq "DefFld ends in backslash", "\", Right(k.DefFld, 1)
Check "DefFld no doubled backslash", Right(k.DefFld, 2) <> "\\", k.DefFld
Eq "WinDrv length 3", 3, Len(k.WinDrv)
Eq "WinDrv colon", ":\", Mid(k.WinDrv, 2)

k.Speed = 50
Eq "Speed assigned", 50, k.Speed
k.ODflag = False
Eq "ODflag assigned", False, k.ODflag
k.Repeat = 0
Eq "Repeat assigned", 0, k.Repeat
k.ODOn
Eq "ODOn sets ODflag", True, k.ODflag
Dim other
Set other = CreateObject("Scripting.Dictionary")
Set k.IEC = other
Check "IEC gives back the object assigned", k.IEC Is other, "another object"
Set k.IEC = Nothing
Check "IEC can be emptied", k.IEC Is Nothing, "still set"
Set k.IEC = other
k.IEC = Null
Check "IEC = Null empties IEC", k.IEC Is Nothing, "still set"
Set k.IEC = other
k.IEC = Empty
Check "IEC = Empty empties IEC", k.IEC Is Nothing, "still set"

On Error Resume Next
k.RestOld -2147483648
Raised "overflow is error 6", 6
k.Repeat = 40000
Raised "Repeat is 16-bit", 6
On Error GoTo 0
Done
