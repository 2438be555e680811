@echo off
rem Unregisters digestry.dll, the one beside this script; the folder can be deleted afterwards.
setlocal
rem Only an administrator may unregister a shell extension of every user: "net session" answers only
rem in an elevated prompt, and so does "fltmc" where the first cannot (without the Server service).
rem Where neither can tell, the extension itself refuses to unregister without elevation, and
rem regsvr32's failure is reported below.
net session >nul 2>&1
if %errorlevel% equ 0 goto :elevated
fltmc >nul 2>&1
if %errorlevel% equ 0 goto :elevated
echo uninstall.cmd: run this from a command prompt opened with "Run as administrator"; nothing was changed.
exit /b 1

:elevated
regsvr32 /s /u "%~dp0digestry.dll"
set status=%errorlevel%
if %status% neq 0 (
    echo uninstall.cmd: regsvr32 could not unregister "%~dp0digestry.dll" ^(exit code %status%^); is this an elevated prompt?
    exit /b %status%
)
echo Digestry is removed: the Properties dialog no longer shows its page.
