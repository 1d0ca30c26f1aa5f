' What an administrator's script would do instead of Vintrel /s: take the first trusted location
' of Access 2007 without a "Path" and write the registrar's four values there.
'   cscript //nologo registrar.vbs FOLDER
Option Explicit
Const kLocation = "HKCU\Software\Microsoft\Office\12.0\Access\Security\Trusted Locations\Location"
Dim shell, slot, path, key, folder, stamp
Set shell = CreateObject("WScript.Shell")
' RegRead raises an error for a missing key or value: that slot is free.
On Error Resume Next
For slot = 0 To 1000
    path = ""
    path = shell.RegRead(kLocation & slot & "\Path")
    If path = "" Then Exit For
Next
On Error GoTo 0
If slot <= 1000 Then
    folder = WScript.Arguments(0)
    If Right(folder, 1) <> "\" Then folder = folder & "\"
    stamp = Now
    key = kLocation & slot & "\"
    shell.RegWrite key & "Date", Right("0" & Day(stamp), 2) & "." & Right("0" & Month(stamp), 2) & "." & _
        Year(stamp) & " " & Right("0" & Hour(stamp), 2) & ":" & Right("0" & Minute(stamp), 2), "REG_SZ"
    shell.RegWrite key & "Description", "Set by registrar", "REG_SZ"
    shell.RegWrite key & "Path", folder, "REG_SZ"
    shell.RegWrite key & "AllowSubfolders", 1, "REG_DWORD"
End If
