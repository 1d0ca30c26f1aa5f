' What a script would do instead of a launcher: start Access, set its automation security by the
' version rule, open the database and show Access.
'   cscript //nologo launcher.vbs DATABASE
Option Explicit
Dim access
Set access = CreateObject("Access.Application")
If access.Version <> "9.0" Then access.AutomationSecurity = 1
access.OpenCurrentDatabase WScript.Arguments(0)
access.Visible = True
