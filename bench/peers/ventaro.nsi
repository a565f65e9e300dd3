; setup.exe's installation, as an NSIS installer: what a maker might build
; instead. bench/peers/build.sh builds it with the staged setup.ini's
; settings as defines: PAYLOAD (the staged folder), INSTALL_PATH, VERSION,
; REGISTRY_KEY, EXECUTION, and OUTFILE.
;
; Like setup.exe it copies every file at the top level of the payload
; folder (setup.exe and setup.ini included) into
; <Program Files>\INSTALL_PATH\VERSION\, runs the service executable there
; with /Service and waits for it (its exit code is not read), and then
; records Version and Path (that folder with a trailing backslash) as REG_SZ
; under HKLM\REGISTRY_KEY in the 32-bit view; silent, per machine, with
; administrator rights.
;
; What it does not do, unlike setup.exe: no feature gate (it asks no ACPI
; server), no version decision (it always installs), no check for the
; service, no setup.ini read at run time (the settings are fixed when it is
; built), and no log.

Unicode true
Name "Ventaro Bench"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SilentInstall silent
; A 32-bit installer: under WoW64 this is Program Files (x86), as for the
; 32-bit setup.exe.
InstallDir "$PROGRAMFILES\${INSTALL_PATH}\${VERSION}"

Section
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${PAYLOAD}\*"
  ; setup.exe records the installation only when the service executable
  ; could be started; the error flag says that it could not.
  ClearErrors
  ExecWait '"$INSTDIR\${EXECUTION}" /Service' $0
  IfErrors done
  SetRegView 32
  WriteRegStr HKLM "${REGISTRY_KEY}" "Version" "${VERSION}"
  WriteRegStr HKLM "${REGISTRY_KEY}" "Path" "$INSTDIR\"
done:
SectionEnd
