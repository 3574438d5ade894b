@echo off
rem Ostrel @PROJECT_VERSION@ self-test kit. Runs Ostrel's tests on this PC
rem and writes selftest-results.txt beside this file; see README.txt.
rem   selftest.cmd            per user, or per machine as an administrator
rem   selftest.cmd /user      register the virtual card for this user only
rem   selftest.cmd /machine   for the whole machine (administrator)
rem   selftest.cmd /quick     a few groups of tests only
rem   selftest.cmd /card      read-only check of a real card
rem   selftest.cmd /keys      list the registry keys the kit looks at
rem The work is done by selftest-runner.exe (which also keeps a double-clicked
rem window open at the end); this file only starts it, by its full path (a PC
rem may not look in the current folder for programs), from the kit's folder.
setlocal
pushd "%~dp0"
"%~dp0selftest-runner.exe" %*
set status=%errorlevel%
popd
exit /b %status%
