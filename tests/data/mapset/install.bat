echo off
echo -
echo -
echo -  This batch will install map for Mapsource
echo -
echo -  Map:  "Mapa testowa"
echo -  FID:  7001
echo -  PID:  1
echo -
echo -  Press Enter to continue or Ctrl-C to abort.
echo -
pause

if exist "%~dp0mapset.img" goto :INSTREG
echo Compiling preview map.
cgpsmapper "mapset.mp"
if exist "%~dp0mapset.img" goto :INSTREG
echo File missing: mapset.img, aborting install.
pause
exit 1

:INSTREG
echo Adding registry keys.

set KEY=HKLM\SOFTWARE\Garmin\MapSource
reg QUERY %KEY% 2>NUL >NUL
if not errorlevel 1 goto key_ok
set KEY=HKLM\SOFTWARE\Wow6432Node\Garmin\MapSource
reg QUERY %KEY% 2>NUL >NUL
if not errorlevel 1 goto key_ok
REM Mapsource not installed?
reg QUERY HKLM\SOFTWARE\Wow6432Node 2>NUL >NUL
if not errorlevel 1 goto key_ok
set KEY=HKLM\SOFTWARE\Garmin\MapSource
:key_ok

reg ADD %KEY%\Families\FAMILY_7001 /v ID /t REG_BINARY /d 591B /f
reg ADD %KEY%\Families\FAMILY_7001 /v TYP /t REG_SZ /d "%~dp0test.typ" /f
reg ADD %KEY%\Families\FAMILY_7001\1 /v Loc /t REG_SZ /d "%~dp0\" /f
reg ADD %KEY%\Families\FAMILY_7001\1 /v Bmap /t REG_SZ /d "%~dp0mapset.img" /f
reg ADD %KEY%\Families\FAMILY_7001\1 /v Tdb /t REG_SZ /d "%~dp0mapset.tdb" /f
pause
exit 0
