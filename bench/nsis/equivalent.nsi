; The same per-user setup, written the way an NSIS author would, as the
; yardstick for bench/run. Build it with
;   makensis -INPUTCHARSET UTF8 -DHOST=<host> -DOUTFILE=<path.exe> equivalent.nsi
; It shows no installer pages: the only thing the user sees is the closing
; message box (or, without a browser at the usual place, the file chooser).

!ifndef HOST
  !error "give the service's host name with -DHOST=..."
!endif
!ifndef OUTFILE
  !define OUTFILE "equivalent.exe"
!endif

Unicode true
; Of NSIS's compressors, bzip2 gives the smallest file with Debian's stubs
; (zlib and LZMA come out 1 to 6 KB larger): the size is compared with NSIS
; at its smallest.
SetCompressor bzip2
Name "Lumidor"
; NSIS gives every MessageBox the installer's caption.
Caption "確認"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent

!define BROWSER "C:\Program Files\Internet Explorer\iexplore.exe"
!define SHELL_FOLDERS "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
!define ALLOW_KEY "Software\Microsoft\Internet Explorer\New Windows\Allow"

; $R0 = path, out: $R0 = its text up to and including the last "\" or ":".
Function FolderPart
  Push $R1
  Push $R2
  StrLen $R1 $R0
  loop:
    IntCmp $R1 0 none
    IntOp $R1 $R1 - 1
    StrCpy $R2 $R0 1 $R1
    StrCmp $R2 "\" found
    StrCmp $R2 ":" found loop
  found:
    IntOp $R1 $R1 + 1
    StrCpy $R0 $R0 $R1
    Goto done
  none:
    StrCpy $R0 ""
  done:
  Pop $R2
  Pop $R1
FunctionEnd

Section
  ; The desktop folder as the shell records it for this user.
  ReadRegStr $0 HKCU "${SHELL_FOLDERS}" "Desktop"

  ; The browser at its usual place, or one the user picks.
  StrCpy $1 "${BROWSER}"
  IfFileExists $1 have_browser
    nsDialogs::SelectFileDialog open "" "EXE (*.exe)|*.exe"
    Pop $1
    StrCmp $1 "" 0 have_browser
      MessageBox MB_OK|MB_ICONSTOP "ショートカットの作成に失敗しました。マニュアルを参考に手動で設定してください。"
      Quit
  have_browser:

  ; CreateShortCut takes the working folder from $OUTDIR. Set it directly:
  ; SetOutPath would create the folder and drop the trailing backslash.
  StrCpy $R0 $1
  Call FolderPart
  StrCpy $OUTDIR $R0
  StrCmp $0 "" no_desktop
    CreateShortCut "$0\Lumidor トップメニュー.lnk" "$1" '"http://${HOST}/menu1/MenuM0000s1"'
  no_desktop:

  ; Pop-up allowance on Windows XP with Service Pack 2 or later only.
  ReadRegStr $2 HKLM "Software\Microsoft\Windows NT\CurrentVersion" "CurrentVersion"
  StrCmp $2 "5.1" 0 not_xp_sp2
  ReadRegStr $2 HKLM "Software\Microsoft\Windows NT\CurrentVersion" "CSDVersion"
  StrCpy $3 $2 12
  StrCmp $3 "Service Pack" 0 not_xp_sp2
  StrCpy $3 $2 14
  StrCmp $3 "Service Pack 1" not_xp_sp2
    WriteRegBin HKCU "${ALLOW_KEY}" "${HOST}" ""
  not_xp_sp2:

  MessageBox MB_OK|MB_ICONINFORMATION "設定が終了しました。"
SectionEnd
