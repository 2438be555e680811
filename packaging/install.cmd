@echo off
rem Copies digestry.dll, the one beside this script, into Program Files\Digestry and registers that
rem copy for every user of this computer. The DLL is never registered where the zip was unpacked:
rem that folder (often Downloads) may be writable by others, who could then put code into every
rem user's Explorer; only administrators can change Program Files.
setlocal EnableExtensions DisableDelayedExpansion
rem The system's tools by their full paths: an elevated prompt runs a program of the current folder
rem before the system's. A 32-bit prompt on 64-bit Windows reaches the 64-bit tools through Sysnative.
set "tools=%SystemRoot%\System32"
if exist "%SystemRoot%\Sysnative\regsvr32.exe" set "tools=%SystemRoot%\Sysnative"
set "target=%ProgramFiles%\Digestry"
if defined ProgramW6432 set "target=%ProgramW6432%\Digestry"
set "source=%~dp0digestry.dll"
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

call :install
set status=%errorlevel%
if defined pause_at_end pause
exit /b %status%

:install
rem Only an administrator may register a shell extension for every user: "net session" answers only
rem in an elevated prompt, and so does "fltmc" where the first cannot (without the Server service).
rem Where neither can tell, the extension itself refuses to register without elevation, and
rem regsvr32's failure is reported below.
"%tools%\net.exe" session >nul 2>&1 && goto :elevated
"%tools%\fltmc.exe" >nul 2>&1 && goto :elevated
echo install.cmd: run this from a command prompt opened with "Run as administrator"; nothing was changed.
exit /b 1

:elevated
if not exist "%source%" (
    echo install.cmd: there is no digestry.dll beside this script; extract the whole zip and run install.cmd again.
    exit /b 1
)
rem A first installation is undone when its registration fails; an earlier copy is left as it was
rem registered.
set "first="
if /i "%~dp0"=="%target%\" goto :register
if not exist "%target%\digestry.dll" set "first=1"
if not exist "%target%\" mkdir "%target%" >nul 2>&1
copy /y /b "%source%" "%target%\digestry.dll" >nul 2>&1
if errorlevel 1 (
    echo install.cmd: could not copy digestry.dll into "%target%": Explorer may have an installed one loaded; run uninstall.cmd, sign out and in again, then run install.cmd again.
    exit /b 1
)

:register
"%tools%\regsvr32.exe" /s "%target%\digestry.dll"
set status=%errorlevel%
if %status% equ 0 (
    echo Digestry is installed: open the Properties of any file and choose the Digestry tab.
    exit /b 0
)
if defined first (
    del /f /q "%target%\digestry.dll" >nul 2>&1
    rd "%target%" >nul 2>&1
)
set "reason=regsvr32 failed"
if %status% equ 3 set "reason=Windows could not load it; Digestry needs 64-bit Windows 7 or later on an x64 processor"
if %status% equ 4 set "reason=it has no DllRegisterServer; it is not Digestry's DLL"
if %status% equ 5 set "reason=its registration failed, as it does in a prompt that is not elevated; run this from a command prompt opened with "Run as administrator""
echo install.cmd: could not register "%target%\digestry.dll" (regsvr32 exit code %status%): %reason%.
exit /b %status%
