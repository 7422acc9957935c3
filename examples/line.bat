@echo off
rem Programs a line of boards fitted in one PC, one controller at a time:
rem each is chosen by its /address and gets its own EUI-64 file, since an
rem EUI-64 must be unique (/writeall would give every board the same one).
rem
rem   line.bat LIST
rem
rem LIST names one board per line: the controller's address as /address
rem takes it (BB-DD-F, hexadecimal) and the board's .eui file.  Lines
rem starting with "#" are skipped.
rem
rem   04-00-0 board-0001.eui
rem   05-00-0 board-0002.eui
rem
rem Settings from the environment, with their defaults:
rem   VXSROM    the program               (vxsrom.exe)
rem   SROM      the ROM type for /srom    (2)
rem   FIRMWARE  the firmware .mem file    (fw-rev4.mem)
rem   CONFIG    the configuration .ini    (config.ini)
rem   LOG       the station's run log     (line.log)
rem
rem Every board is tried; the script ends with ERRORLEVEL 0 when each one
rem was written and verified, 1 when any failed, 2 on a usage error.
rem
rem vxsrom's exit codes are negative: "if errorlevel 1" means "1 or more"
rem and never fires on them.  Compare: if %ERRORLEVEL% NEQ 0.

setlocal
if not defined VXSROM set "VXSROM=vxsrom.exe"
if not defined SROM set "SROM=2"
if not defined FIRMWARE set "FIRMWARE=fw-rev4.mem"
if not defined CONFIG set "CONFIG=config.ini"
if not defined LOG set "LOG=line.log"
set "HEX=0123456789ABCDEF"

if "%~1"=="" goto usage
if not exist "%~1" goto usage

set /a BOARDS=0
set /a FAILED=0
for /f "usebackq eol=# tokens=1,2" %%a in ("%~1") do call :board %%a %%b
set /a DONE=BOARDS-FAILED
echo line: %BOARDS% boards, %DONE% written and verified, %FAILED% failed
if %FAILED% NEQ 0 exit /b 1
exit /b 0

:usage
echo usage: line.bat LIST (one "BB-DD-F FILE.eui" per line) 1>&2
exit /b 2

rem :board ADDRESS EUI: one board.
:board
set /a BOARDS+=1
if "%~2"=="" (
  echo line: %1: no .eui file named 1>&2
  set /a FAILED+=1
  goto :eof
)
call :field %1
"%VXSROM%" /srom %SROM% /address %1 /write "%FIRMWARE%" "%CONFIG%" "%~2" /log "%LOG%"
set CODE=%ERRORLEVEL%
if %CODE% NEQ 0 (
  echo line: %1 %2: FAILED with exit code %CODE% ^(the operator's guide says why^)
  set /a FAILED+=1
) else (
  echo line: %1 %2: written and verified
)

rem The log's last record must be this run's; when another process held
rem the log, vxsrom ran but its record is lost: find out why.
set "RECORD="
if exist "%LOG%" for /f "usebackq delims=" %%r in ("%LOG%") do set "RECORD=%%r"
set "ON="
set "RETURN="
if defined RECORD for /f "tokens=1,2 delims=[]" %%x in ("%RECORD%") do (
  set "ON=%%x"
  set "RETURN=%%y"
)
if "[%ON%][%RETURN%]"=="%FIELD%[Return = %CODE%]" (
  echo line: logged: %RECORD%
) else (
  echo line: %1: this run has no record in %LOG% 1>&2
  if %CODE% EQU 0 set /a FAILED+=1
)
goto :eof

rem :field BB-DD-F: FIELD becomes the log's controller field [BB:DD:FF].
:field
for /f "tokens=1-3 delims=-" %%x in ("%1") do (
  set /a B=0x%%x, D=0x%%y, F=0x%%z
)
set /a B1=B/16, B2=B%%16, D1=D/16, D2=D%%16, F1=F/16, F2=F%%16
call set "FIELD=[%%HEX:~%B1%,1%%%%HEX:~%B2%,1%%:%%HEX:~%D1%,1%%%%HEX:~%D2%,1%%:%%HEX:~%F1%,1%%%%HEX:~%F2%,1%%]"
goto :eof
