' The plain refresh a script would make: the staged copy straight over the installed database,
' then away with the staged copy. A copy that breaks off leaves a damaged database.
'   cscript //nologo refresh.vbs APP_FOLDER
Option Explicit
Dim files, app
Set files = CreateObject("Scripting.FileSystemObject")
app = WScript.Arguments(0)
On Error Resume Next
files.CopyFile app & "\TEMP\Orvantis.mde", app & "\Orvantis.mde", True
If Err.Number = 0 Then files.DeleteFile app & "\TEMP\Orvantis.mde"
