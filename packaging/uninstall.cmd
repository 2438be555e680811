@echo off
rem Unregisters Digestry and removes the copy that install.cmd put into Program Files\Digestry.
setlocal EnableExtensions DisableDelayedExpansion
rem The system's tools by their full paths: an elevated prompt runs a program of the current folder
rem before the system's. A 32-bit prompt on 64-bit Windows reaches the 64-bit tools through Sysnative.
set "tools=%SystemRoot%\System32"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "tools=%SystemRoot%\Sysnative"
set "target=%ProgramFiles%\Digestry"
if defined ProgramW6432 set "target=%ProgramW6432%\Digestry"
rem Started on its own (a double-click), cmd names this script on its command line and closes the
rem window at the end: the result stays readable until a key is pressed. The command line is
rem copied first ("if defined" does not see cmd's own variables), then loses its quotes, so that
rem the comparison parses whatever it holds.
set "pause_at_end="
set "command_line=%cmdcmdline%"
if not defined command_line goto :started
set "command_line=%command_line:"=%"
call set "without_script=%%command_line:%~f0=%%"
if /i not "%without_script%"=="%command_line%" set "pause_at_end=1"
:started

call :uninstall
set status=%errorlevel%
if defined pause_at_end pause
exit /b %status%

:uninstall
rem Only an administrator may unregister a shell extension of every user: "net session" answers only
rem in an elevated prompt, and so does "fltmc" where the first cannot (without the Server service).
rem Where neither can tell, the extension itself refuses to unregister without elevation, and
rem regsvr32's failure is reported below.
"%tools%\net.exe" session >nul 2>&1 && goto :elevated
"%tools%\fltmc.exe" >nul 2>&1 && goto :elevated
echo uninstall.cmd: run this from a command prompt opened with "Run as administrator"; nothing was changed.
exit /b 1

:elevated
rem Earlier releases registered the DLL where the zip was unpacked; any copy unregisters the same class.
set "dll=%target%\digestry.dll"
if not exist "%dll%" set "dll=%~dp0digestry.dll"
"%tools%\regsvr32.exe" /s /u "%dll%"
set status=%errorlevel%
set "reason=regsvr32 failed"
if %status% equ 3 set "reason=Windows could not load it"
if %status% equ 4 set "reason=it has no DllUnregisterServer; it is not Digestry's DLL"
if %status% equ 5 set "reason=its unregistration failed, as it does in a prompt that is not elevated; run this from a command prompt opened with "Run as administrator""
if %status% neq 0 (
    echo uninstall.cmd: could not unregister "%dll%" ^(regsvr32 exit code %status%^): %reason%.
    exit /b %status%
)
if /i not "%dll%"=="%target%\digestry.dll" goto :removed
rem A loaded DLL cannot be deleted: Explorer keeps the one it has loaded until it ends. The folder
rem goes only when empty (this script may be in it).
del /f /q "%dll%" >nul 2>&1
if exist "%dll%" (
    echo Digestry is removed from the Properties dialog, but Explorer still has "%dll%" loaded: sign out and in again ^(or restart Explorer^), then delete the folder "%target%".
    exit /b 3010
)
rd "%target%" >nul 2>&1

:removed
echo Digestry is removed: the Properties dialog no longer shows its page.
