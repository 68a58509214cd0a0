// The object from JScript: values both ways, Japanese included, IEC emptied by null or undefined,
// and errors as exceptions carrying the run-time number.
test("variables store what is assigned", function () {
    var k = newKelmo();
    k.Atom = -5; k.Mol2 = 2147483647; k.Speed = 0; k.Repeat = -32768; k.RestMax = 0; k.ODflag = false;
    eq("variables", "-5 2147483647 0 -32768 0 false",
       [k.Atom, k.Mol2, k.Speed, k.Repeat, k.RestMax, k.ODflag].join(" "));
});
test("DefFld ends with one backslash", function () {
    var k = newKelmo();
    k.DefFld = "  C:\\Work  "; eq("trimmed and completed", "C:\\Work\\", k.DefFld);
    k.DefFld = "C:\\"; eq("root kept", "C:\\", k.DefFld);
    k.DefFld = "C:\\\u4f5c\u696d\u3000"; eq("Japanese", "C:\\\u4f5c\u696d\u3000\\", k.DefFld);
});
test("IEC takes an object and is emptied by null or undefined", function () {
    var k = newKelmo(), dictionary = new ActiveXObject("Scripting.Dictionary");
    dictionary.Add("key", "value");
    k.IEC = dictionary; eq("IEC gives back the object assigned", "value", k.IEC.Item("key"));
    k.IEC = null; eq("null empties IEC", null, k.IEC);
    k.IEC = dictionary; k.IEC = undefined; eq("undefined empties IEC", null, k.oIE);
});
raises("overflow reaches JScript", 6, function () { newKelmo().RestOld(-2147483648); });
raises("IEver without a browser", 91, function () { newKelmo().IEver(); });
done();
