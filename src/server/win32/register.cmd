@echo off
rem Registers oquardelino.dll (beside this file) for every user of this machine. Run it from an
rem administrator's command prompt; "register.cmd /u" removes the registration again.
rem A 32-bit host needs the 32-bit DLL, registered with %SystemRoot%\SysWOW64\regsvr32.exe.
if /i "%~1"=="/u" (
  regsvr32 /s /u "%~dp0oquardelino.dll"
) else (
  regsvr32 /s "%~dp0oquardelino.dll"
)
if errorlevel 1 (
  echo oquardelino.dll could not be registered: error %errorlevel%
  exit /b 1
)
echo done
