' The object from VBScript: stored variables, the platform objects, errors in Err.
Dim k
Set k = CreateObject("Kelmo.CKelmo")
k.Atom = 1
k.Mol1 = 1
Check "FS is the same object each time", k.FS Is k.FS, "another object"
Check "oShell is a Shell object", Not (k.oShell.NameSpace(k.WinDrv) Is Nothing), "no folder"

k.Speed = 50
Eq "Speed assigned", 50, k.Speed
k.ODflag = False
Eq "ODflag assigned", False, k.ODflag
k.Repeat = 0
Eq "Repeat assigned", 0, k.Repeat
k.ODOff
Eq "ODOff clears ODflag", False, k.ODflag
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
' Bad arguments of the folder members fail before any dialog opens.
k.FldSetD Array("*.txt")
Raised "an array is no FldSetD argument", 13
k.FldSetD "*.txt", Null
Raised "Null is no FldSetD argument", 13
k.FldDelete Null
Raised "Null is no folder to delete", 13
k.FldDelete Array("x")
Raised "an array is no folder to delete", 13
On Error GoTo 0
Done
