@echo off
rem Registers digestry.dll, the one beside this script, for every user of this computer.
setlocal
rem Only an administrator may register a shell extension for every user: "net session" answers only
rem in an elevated prompt, and so does "fltmc" where the first cannot (without the Server service).
rem Where neither can tell, the extension itself refuses to register without elevation, and
rem regsvr32's failure is reported below.
net session >nul 2>&1
if %errorlevel% equ 0 goto :elevated
fltmc >nul 2>&1
if %errorlevel% equ 0 goto :elevated
echo install.cmd: run this from a command prompt opened with "Run as administrator"; nothing was changed.
exit /b 1

:elevated
regsvr32 /s "%~dp0digestry.dll"
set status=%errorlevel%
if %status% neq 0 (
    echo install.cmd: regsvr32 could not register "%~dp0digestry.dll" ^(exit code %status%^); is this an elevated prompt?
    exit /b %status%
)
echo Digestry is installed: open the Properties of any file and choose the Digestry tab.
