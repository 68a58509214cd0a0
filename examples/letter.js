// Writes a short letter into notepad and saves it, then closes notepad.
// Usage: cscript letter.js [file]   (default: letter.txt on the desktop; an existing one is replaced)
// JScript under Windows Script Host.
var k = new ActiveXObject("Kelmo.CKelmo");
var shell = new ActiveXObject("WScript.Shell");
var file = WScript.Arguments.length > 0 ? WScript.Arguments(0)
                                        : shell.SpecialFolders("Desktop") + "\\letter.txt";
if (k.FS.FileExists(file)) k.FS.DeleteFile(file); // no "replace it?" question in the save box

k.Exec("notepad"); // waits for notepad's window; a name with a dot would be a file in DefFld
// Pass pastes each line through the clipboard (the user's clipboard comes back afterwards) and
// presses Enter the given number of times; Send types keys.
k.Pass("Dear Ada,", 2);
k.Pass("the meeting moves to Thursday, 10:00, in the small room.", 1);
k.Pass("Please bring the figures of the last quarter.", 2);
k.Send("Kind regards,~Grace~");

// Ctrl+S opens the save box with the file name selected: the name is pasted over it, Enter
// saves, and Alt+F4 closes notepad, which has nothing unsaved left to ask about.
k.Send("^s");
k.Pass(file, 1);
k.Rest(2, true); // the save box closes and notepad comes back to the front
k.Send("%{F4}");
WScript.Echo(k.FS.FileExists(file) ? "Saved the letter as " + file : "The letter was not saved");
