// The object from JScript: a value put and read back, IEC emptied by undefined (JScript assigns
// every value plainly), and errors as exceptions carrying the run-time number.
var k = new ActiveXObject("Kelmo.CKelmo"), dictionary = new ActiveXObject("Scripting.Dictionary");
k.Atom = 1; k.Mol1 = 1; k.Speed = 101; k.ODOn(); // no wait for an idle machine
raises("overflow reaches JScript", 6, function () { k.RestOld(-2147483648); });
dictionary.Add("key", "value");
k.IEC = dictionary;
eq("IEC gives back the object assigned", "value", k.IEC.Item("key"));
k.IEC = undefined;
eq("undefined empties IEC", null, k.oIE);
WScript.Echo("done");
