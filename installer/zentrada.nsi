; Zentrada's Windows installer. The `installer` target of a Windows build
; (installer/CMakeLists.txt) compiles this UTF-8 file with makensis
; -INPUTCHARSET UTF8 and these defines:
;   VERSION     the product version, three numbers (major.minor.patch)
;   BIN_DIR     the build's bin directory
;   PANEL_NAME  the file of BIN_DIR installed as Zentrada.exe (Zentrada.exe)
;   OUT_FILE    the setup program to write
;   ICON        (optional) the icon of the setup and uninstall programs
;   WIN64       defined for a 64-bit build: the 64-bit Program Files and
;               registry view (the setup program itself stays 32-bit)
;
; The setup program's command line, besides /S (silent: the default
; components) and /D=<directory> (last, unquoted), both of NSIS:
;   /DEMO       selects the virtual printer as well; a silent install skips
;               the components page, so this is its only way to get it.
; Exit status: 0 installed, 1 cancelled by the user, 2 stopped by the script
; (a file in use that the user did not free, the registry not writable).
Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!macro REQUIRE_DEFINE NAME
  !ifndef ${NAME}
    !error "${NAME} must be defined: see installer/CMakeLists.txt"
  !endif
!macroend
!insertmacro REQUIRE_DEFINE VERSION
!insertmacro REQUIRE_DEFINE BIN_DIR
!insertmacro REQUIRE_DEFINE OUT_FILE
!ifndef PANEL_NAME
  !define PANEL_NAME "Zentrada.exe"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include x64.nsh

!define PRODUCT "Zentrada"
!define SETTINGS_KEY "SOFTWARE\TORVA\Zentrada"
!define VENDOR_KEY "SOFTWARE\TORVA"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrada"
!define UNINSTALLER "Uninst.exe"
!define PRINTER_DLL "InterfaceTorva.dll"

; The agent stores its texts as REG_SZ without a terminating NUL, and so
; does the installer, through the registry API: NSIS's WriteRegStr stores
; the NUL.
!define HKEY_LOCAL_MACHINE 0x80000002
!define REG_SZ 1
!define KEY_SET_VALUE 0x0002
!ifdef WIN64
  ; KEY_WOW64_64KEY: the view SetRegView 64 gives NSIS's own commands.
  !define /math KEY_ACCESS ${KEY_SET_VALUE} | 0x0100
!else
  ; The setup program's own 32-bit view, which is the 32-bit agent's.
  !define KEY_ACCESS ${KEY_SET_VALUE}
!endif

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
!ifdef WIN64
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1046 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1046 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=1046 "FileDescription" "Instalação do ${PRODUCT}"
VIAddVersionKey /LANG=1046 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1046 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1046 "LegalCopyright" "${PRODUCT}"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"

; Shown in the programs list; the test reads it back to see the accents
; of this file arrived intact.
!define COMMENTS "Agente de comunicação com a impressora fiscal"

; A file of the agent that is in use (the agent running, or the driver
; library loaded by it) cannot be replaced nor removed. Each one is checked
; before anything is touched, so a running agent stops the whole install
; instead of leaving new programs beside old ones. $R9: the file; $R8: what
; the user is told happens on Cancel.
!macro CHECK_REPLACEABLE UN
Function ${UN}CheckReplaceable
  retry:
  ${If} ${FileExists} "$R9"
    ClearErrors
    FileOpen $R7 "$R9" a
    ${If} ${Errors}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "O arquivo $\"$R9$\" está em uso: o ${PRODUCT} deve estar em execução.$\r$\n$\r$\nFeche o ${PRODUCT} (também o ícone na área de notificação e o console) e clique em Repetir, ou em Cancelar para sair $R8." \
        /SD IDCANCEL IDRETRY retry
      DetailPrint "Em uso: $R9"
      SetErrorLevel 2
      Abort "O ${PRODUCT} está em execução; nada foi alterado."
    ${EndIf}
    FileClose $R7
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CHECK_REPLACEABLE ""
!insertmacro CHECK_REPLACEABLE "un."

; Writes $R2 as the REG_SZ value $R1 of HKLM\$R0, creating the key when
; missing: the text's characters and no NUL. The error flag on failure.
Function WriteText
  StrLen $R5 $R2
  IntOp $R5 $R5 * ${NSIS_CHAR_SIZE}
  ; The registry takes a NUL right after the counted characters for part of
  ; the text and stores it too, so another character follows them.
  StrCpy $R6 "$R2|"
  System::Call 'advapi32::RegCreateKeyExW(p ${HKEY_LOCAL_MACHINE}, w R0, i 0, p 0, i 0, i ${KEY_ACCESS}, p 0, *p .R3, p 0) i .R7'
  ${If} $R7 <> 0
    SetErrors
    Return
  ${EndIf}
  System::Call 'advapi32::RegSetValueExW(p R3, w R1, i 0, i ${REG_SZ}, w R6, i R5) i .R7'
  System::Call 'advapi32::RegCloseKey(p R3)'
  ${If} $R7 <> 0
    SetErrors
  ${EndIf}
FunctionEnd

Function RegistryFailed
  MessageBox MB_OK|MB_ICONSTOP "Não foi possível gravar no registro do Windows: HKLM\$R0." /SD IDOK
  SetErrorLevel 2
  Abort "Falha ao gravar no registro: HKLM\$R0"
FunctionEnd

Section "${PRODUCT}" SecMain
  SectionIn RO
  Call CheckAllReplaceable

  SetOutPath "$INSTDIR"
  File "/oname=Zentrada.exe" "${BIN_DIR}/${PANEL_NAME}"
  File "${BIN_DIR}/zentrada-console.exe"
  ; The agent's default directories for command and response files.
  CreateDirectory "$INSTDIR\in"
  CreateDirectory "$INSTDIR\out"

  ; The settings only where there are none yet: an upgrade keeps the
  ; user's directories and options. A key without values holds none.
  ClearErrors
  EnumRegValue $0 HKLM "${SETTINGS_KEY}" 0
  ${If} ${Errors}
    ClearErrors
    StrCpy $R0 "${SETTINGS_KEY}"
    StrCpy $R1 "WorkDirectoryIn"
    StrCpy $R2 "$INSTDIR\in"
    Call WriteText
    StrCpy $R1 "WorkDirectoryOut"
    StrCpy $R2 "$INSTDIR\out"
    Call WriteText
    WriteRegBin HKLM "${SETTINGS_KEY}" "ShowTaskMsgs" 00
    WriteRegBin HKLM "${SETTINGS_KEY}" "SimgleMode" 00
    ${If} ${Errors}
      Call RegistryFailed
    ${EndIf}
    DetailPrint "Configurações gravadas: HKLM\${SETTINGS_KEY}"
  ${Else}
    DetailPrint "Configurações existentes mantidas: HKLM\${SETTINGS_KEY}"
  ${EndIf}

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "Comments" "${COMMENTS}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Zentrada.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Iniciar automaticamente com o Windows" SecAutoStart
  ; The value the agent itself writes when auto-start is turned on.
  ClearErrors
  StrCpy $R0 "${RUN_KEY}"
  StrCpy $R1 "Zentrada"
  StrCpy $R2 '"$INSTDIR\Zentrada.exe" -start_minimized'
  Call WriteText
  ${If} ${Errors}
    Call RegistryFailed
  ${EndIf}
SectionEnd

Section "Atalho no menu Iniciar" SecShortcuts
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Zentrada.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Desinstalar o ${PRODUCT}.lnk" "$INSTDIR\${UNINSTALLER}"
SectionEnd

Section /o "Impressora virtual para demonstração (${PRINTER_DLL})" SecDemo
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}/${PRINTER_DLL}"
  ; The uninstaller removes the library only when it put it there, never a
  ; driver library of the printer's maker copied in by hand.
  WriteRegDWORD HKLM "${UNINST_KEY}" "VirtualPrinter" 1
SectionEnd

; A component left out on a reinstall takes away what an earlier install of
; it left.
Section "-Unselected"
  ${IfNot} ${SectionIsSelected} ${SecAutoStart}
    DeleteRegValue HKLM "${RUN_KEY}" "Zentrada"
  ${EndIf}
  ${IfNot} ${SectionIsSelected} ${SecShortcuts}
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Desinstalar o ${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
  ${EndIf}
SectionEnd

Function CheckAllReplaceable
  StrCpy $R8 "sem instalar"
  StrCpy $R9 "$INSTDIR\Zentrada.exe"
  Call CheckReplaceable
  StrCpy $R9 "$INSTDIR\zentrada-console.exe"
  Call CheckReplaceable
  ${If} ${SectionIsSelected} ${SecDemo}
    StrCpy $R9 "$INSTDIR\${PRINTER_DLL}"
    Call CheckReplaceable
  ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "O agente: o painel Zentrada.exe e o console zentrada-console.exe, com as pastas in e out."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutoStart} "Inicia o ${PRODUCT} minimizado ao entrar no Windows."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecShortcuts} "Cria a pasta ${PRODUCT} no menu Iniciar."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDemo} "Só para demonstração, sem impressora: uma biblioteca que simula a impressora fiscal. Não instale onde houver a biblioteca do fabricante."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
!ifdef WIN64
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Este instalador é para o Windows de 64 bits." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  SetRegView 64
!endif
  SetShellVarContext all
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DEMO" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecDemo}
  ${EndIf}
FunctionEnd

Function un.onInit
!ifdef WIN64
  SetRegView 64
!endif
  SetShellVarContext all
FunctionEnd

; The command and response files in $INSTDIR\in and $INSTDIR\out, the log
; Zentrada_log.txt, the journals <program>_em_execucao.txt (a file cut short
; by a crash is still put right by a later install) and the lists of executed
; files that could not be deleted, <program>_nao_apagados.txt, stay, and with
; them the directory.
Section "Uninstall"
  ReadRegDWORD $0 HKLM "${UNINST_KEY}" "VirtualPrinter"
  StrCpy $R8 "sem desinstalar"
  StrCpy $R9 "$INSTDIR\Zentrada.exe"
  Call un.CheckReplaceable
  StrCpy $R9 "$INSTDIR\zentrada-console.exe"
  Call un.CheckReplaceable
  ${If} $0 = 1
    StrCpy $R9 "$INSTDIR\${PRINTER_DLL}"
    Call un.CheckReplaceable
  ${EndIf}

  Delete "$INSTDIR\Zentrada.exe"
  Delete "$INSTDIR\zentrada-console.exe"
  ${If} $0 = 1
    Delete "$INSTDIR\${PRINTER_DLL}"
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Desinstalar o ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  DeleteRegValue HKLM "${RUN_KEY}" "Zentrada"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  ; The printer maker's driver keeps its settings under the same vendor key.
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
