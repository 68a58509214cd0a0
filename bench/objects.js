// Creating objects from cscript for KelmoBench's host figure: "BASE" after the first object,
// then per 1,000 objects "KELMO <ms>" (Kelmo.CKelmo created, Atom read) and "PEER <ms>"
// (Scripting.Dictionary created, Count read), "DONE" after the last; after BASE and DONE the
// script waits a moment while KelmoBench reads this host's private bytes (in a loop: this host
// has no WScript.Sleep).
var total = WScript.Arguments.length > 0 ? Number(WScript.Arguments(0)) : 10000;
var batch = 1000;

function timeBatch(progId, member) {
    var started = new Date().getTime();
    for (var i = 0; i < batch; i++) {
        var object = new ActiveXObject(progId);
        var value = object[member];
    }
    return new Date().getTime() - started;
}

function pause(ms) {
    var end = new Date().getTime() + ms;
    while (new Date().getTime() < end) {
    }
}

var first = new ActiveXObject("Kelmo.CKelmo");
var atom = first.Atom;
first = null;
CollectGarbage();
WScript.Echo("BASE");
pause(1500);
for (var done = 0; done < total; done += batch) {
    WScript.Echo("KELMO " + timeBatch("Kelmo.CKelmo", "Atom"));
    WScript.Echo("PEER " + timeBatch("Scripting.Dictionary", "Count"));
}
CollectGarbage();
WScript.Echo("DONE");
pause(1500);
