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
rem was written and verified, 1 when any failed, 2 on a usage error or a
rem list that names no board.
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
if %BOARDS% EQU 0 (
  echo line: %1 names no board 1>&2
  exit /b 2
)
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
call :check_address %1
if defined BAD (
  echo line: %1: not an address BB-DD-F ^(hexadecimal, e.g. 04-00-0^) 1>&2
  set /a FAILED+=1
  goto :eof
)
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
) else if "[%ON%][%RETURN%]"=="[--:--:--][Return = %CODE%]" (
  echo line: %1: the run's record names no controller: vxsrom stopped before choosing one 1>&2
  if %CODE% EQU 0 set /a FAILED+=1
) else (
  echo line: %1: this run has no record in %LOG% 1>&2
  if %CODE% EQU 0 set /a FAILED+=1
)
goto :eof

rem :check_address WORD: BAD is defined unless WORD is BB-DD-F, bus and
rem device of one or two hexadecimal digits, device to 1F, function 0-7.
:check_address
set "BAD=1"
set "P1=" & set "P2=" & set "P3=" & set "P4="
for /f "tokens=1-4 delims=-" %%a in ("%~1") do (
  set "P1=%%a" & set "P2=%%b" & set "P3=%%c" & set "P4=%%d"
)
if defined P4 goto :eof
if not defined P3 goto :eof
rem Lengths by a padded copy: a substring past the end reads differently
rem on some command interpreters.
set "T=%P1%__" & call :longer_than 2
if defined BAD_LENGTH goto :eof
set "T=%P2%__" & call :longer_than 2
if defined BAD_LENGTH goto :eof
set "T=%P3%__" & call :longer_than 1
if defined BAD_LENGTH goto :eof
rem "-" at an end, or doubled, leaves a field out.
set "W=%~1"
if "%W:~0,1%"=="-" goto :eof
if "%W:~-1%"=="-" goto :eof
if not "%W:--=%"=="%W%" goto :eof
set "REST=%P1%%P2%%P3%"
for %%h in (0 1 2 3 4 5 6 7 8 9 A B C D E F) do if defined REST call set "REST=%%REST:%%h=%%"
if defined REST goto :eof
set /a DV=0x%P2%, FN=0x%P3%
if %DV% GTR 31 goto :eof
if %FN% GTR 7 goto :eof
set "BAD="
goto :eof

rem :field BB-DD-F: FIELD becomes the log's controller field [BB:DD:FF].
:field
for /f "tokens=1-3 delims=-" %%x in ("%1") do (
  set /a B=0x%%x, D=0x%%y, F=0x%%z
)
set /a B1=B/16, B2=B%%16, D1=D/16, D2=D%%16, F1=F/16, F2=F%%16
call set "FIELD=[%%HEX:~%B1%,1%%%%HEX:~%B2%,1%%:%%HEX:~%D1%,1%%%%HEX:~%D2%,1%%:%%HEX:~%F1%,1%%%%HEX:~%F2%,1%%]"
goto :eof

rem :longer_than N: BAD_LENGTH is defined when T, padded with "__", holds
rem more than N characters before its padding.
:longer_than
set "BAD_LENGTH="
call set "C=%%T:~%1,1%%"
if not "%C%"=="_" set "BAD_LENGTH=1"
goto :eof
