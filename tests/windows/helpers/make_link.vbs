' Makes a shortcut through the shell's own object, as Explorer does:
'   cscript //NoLogo make_link.vbs <lnk path> <target>
' Run by the 32-bit cscript (SysWOW64) the shell stores what a 32-bit
' program sees; by the 64-bit one, what 64-bit Explorer sees.
Set link = CreateObject("WScript.Shell").CreateShortcut(WScript.Arguments(0))
link.TargetPath = WScript.Arguments(1)
link.Save
