// Run by the abort test: Abort in the pause box must end this script at once, so the marker
// after Break is never written. Argument: the folder for the markers.
var folder = WScript.Arguments(0);
var fso = new ActiveXObject("Scripting.FileSystemObject");
var k = new ActiveXObject("Kelmo.CKelmo");
k.Atom = 1;
k.Mol1 = 1;
fso.CreateTextFile(folder + "\\before-break").Close();
k.Break("abort");
fso.CreateTextFile(folder + "\\after-break").Close();
