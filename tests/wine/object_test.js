// The object from JScript: stored variables, errors as catchable exceptions.
test("variables store what is assigned", function () {
    var k = newKelmo();
    k.Atom = -5; eq("Atom -5", -5, k.Atom);
    k.Speed = 0; eq("Speed 0", 0, k.Speed);
    k.Mol2 = 2147483647; eq("Mol2 max", 2147483647, k.Mol2);
    k.Repeat = -32768; eq("Repeat min", -32768, k.Repeat);
    k.RestMax = 0; eq("RestMax 0", 0, k.RestMax);
    k.ODflag = false; eq("ODflag false", false, k.ODflag);
});
test("DefFld is completed with one backslash", function () {
    var k = newKelmo();
    k.DefFld = "  C:\\Work  "; eq("trimmed and completed", "C:\\Work\\", k.DefFld);
    k.DefFld = "C:\\"; eq("root kept", "C:\\", k.DefFld);
    k.DefFld = ""; eq("empty", "\\", k.DefFld);
});
test("FS is a FileSystemObject", function () {
    var k = newKelmo();
    check("FS answers FolderExists", k.FS.FolderExists(k.WinDrv), "FolderExists(WinDrv) false");
});
test("IEC takes an object and is emptied by null or undefined", function () {
    var k = newKelmo();
    var dictionary = new ActiveXObject("Scripting.Dictionary");
    dictionary.Add("key", "value");
    k.IEC = dictionary;
    eq("IEC gives back the object assigned", "value", k.IEC.Item("key"));
    k.IEC = null;
    eq("null empties IEC", null, k.IEC);
    k.IEC = dictionary;
    k.IEC = undefined;
    eq("undefined empties IEC", null, k.IEC);
});
raises("overflow reaches JScript", 6, function () { newKelmo().RestOld(-2147483648); });
test("a missing required argument is a run-time error", function () {
    try {
        newKelmo().Send();
        check("missing argument", false, "no error");
    } catch (e) {
        // 449 argument not optional or 450 wrong number of arguments, as the runtime counts
        var number = e.number + 2146828288;
        check("missing argument", number === 449 || number === 450, e.number + " " + e.description);
    }
});
test("the JScript Japanese round trip", function () {
    var k = newKelmo();
    k.DefFld = "C:\\\u4f5c\u696d\u3000\u30d5\u30a9\u30eb\u30c0";
    eq("DefFld Japanese", "C:\\\u4f5c\u696d\u3000\u30d5\u30a9\u30eb\u30c0\\", k.DefFld);
});
done();
