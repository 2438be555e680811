@echo off
rem Unregisters digestry.dll, the one beside this script; the folder can be deleted afterwards.
setlocal
rem Only an administrator may register a shell extension for every user: "net session" answers only in
rem an elevated prompt. Where it cannot tell, the extension itself refuses to register without
rem elevation, and the failure below is reported instead.
net session >nul 2>&1
if errorlevel 1 (
    echo uninstall.cmd: run this from a command prompt opened with "Run as administrator"; nothing was changed.
    exit /b 1
)
regsvr32 /s /u "%~dp0digestry.dll"
set status=%errorlevel%
if %status% neq 0 (
    echo uninstall.cmd: regsvr32 could not unregister "%~dp0digestry.dll" ^(exit code %status%^); is this an elevated prompt?
    exit /b %status%
)
echo Digestry is removed: the Properties dialog no longer shows its page.
