// The object from JScript: values both ways, Japanese included, IEC emptied by undefined, and
// errors as exceptions carrying the run-time number.
var k = new ActiveXObject("Kelmo.CKelmo");
k.Atom = 1; k.Mol1 = 1; k.Speed = 101; k.ODOn(); // no wait for an idle machine
raises("overflow reaches JScript", 6, function () { k.RestOld(-2147483648); });
raises("IEver without a browser", 91, function () { k.IEver(); });
test("DefFld is trimmed and completed", function () {
    k.DefFld = "  C:\\\u4f5c\u696d\u3000  "; eq("DefFld", "C:\\\u4f5c\u696d\u3000\\", k.DefFld);
});
test("IEC takes an object and is emptied by undefined", function () {
    var dictionary = new ActiveXObject("Scripting.Dictionary");
    dictionary.Add("key", "value");
    k.IEC = dictionary; eq("IEC gives back the object assigned", "value", k.IEC.Item("key"));
    k.IEC = undefined; eq("undefined empties IEC", null, k.oIE);
});
test("variables store what is assigned", function () { // last: Speed 0 waits for an idle machine
    k.Atom = -5; k.Mol2 = 2147483647; k.Speed = 0; k.Repeat = -32768; k.RestMax = 0; k.ODflag = false;
    eq("variables", "-5 2147483647 0 -32768 0 false",
       [k.Atom, k.Mol2, k.Speed, k.Repeat, k.RestMax, k.ODflag].join(" "));
});
WScript.Echo("done");
