# The Windows program's packages: `cpack` in the Windows build folder makes
# pathwick-<version>-win64.zip, one folder to unpack anywhere; `cpack -G NSIS`
# makes pathwick-<version>-win64-setup.exe, an installer (nsis on Debian).
#
# Both hold pathwick.exe, pathwick-maze.exe (the console tool that writes new
# mazes), the shipped MazeMap.txt and Stone.BMP, and KEYS.txt with Windows
# line ends (the source file keeps its own), side by side: the program reads
# its files from its working folder.

install(TARGETS pathwick pathwick-maze RUNTIME DESTINATION .)
configure_file(packaging/KEYS.txt ${CMAKE_BINARY_DIR}/generated/KEYS.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES data/MazeMap.txt data/Stone.BMP ${CMAKE_BINARY_DIR}/generated/KEYS.txt DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PATHWICK_PACKAGE_SYSTEM win64)
  set(PATHWICK_NSIS_TARGET amd64-unicode)
  set(PATHWICK_PROGRAM_FILES "$PROGRAMFILES64")
else()
  set(PATHWICK_PACKAGE_SYSTEM win32)
  set(PATHWICK_NSIS_TARGET x86-unicode)
  set(PATHWICK_PROGRAM_FILES "$PROGRAMFILES")
endif()
set(CPACK_GENERATOR ZIP)
# The values below reach cpack as written here (the NSIS code included).
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_PACKAGE_FILE_NAME pathwick-${PROJECT_VERSION}-${PATHWICK_PACKAGE_SYSTEM})
set(CPACK_STRIP_FILES ON)
# The installer's own name; cpack reads it per generator.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/windows_cpack_options.cmake)

# The installer: Program Files\Pathwick, a Start-menu folder "Pathwick" with
# the shortcut "Pathwick" and the uninstaller's, the entry in "Apps &
# features", all with the program's icon.
set(CPACK_PACKAGE_NAME Pathwick)
set(CPACK_PACKAGE_VENDOR Pathwick)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Pathwick)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Pathwick)
set(CPACK_NSIS_PACKAGE_NAME Pathwick)
set(CPACK_NSIS_DISPLAY_NAME Pathwick)
set(CPACK_NSIS_INSTALL_ROOT ${PATHWICK_PROGRAM_FILES})
set(CPACK_NSIS_MUI_ICON ${CMAKE_SOURCE_DIR}/packaging/icons/pathwick.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_SOURCE_DIR}/packaging/icons/pathwick.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME pathwick.exe)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# The picture make-icons draws from the icon, on the welcome and finish
# pages of the installer and the uninstaller.
set(CPACK_NSIS_MUI_WELCOMEFINISHPAGE_BITMAP ${CMAKE_SOURCE_DIR}/packaging/icons/pathwick-installer.bmp)
set(CPACK_NSIS_MUI_UNWELCOMEFINISHPAGE_BITMAP ${CMAKE_SOURCE_DIR}/packaging/icons/pathwick-installer.bmp)
# The finish page offers "Run Pathwick" (the page's own wording for the
# package's name), the program in the install folder.
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MUI_FINISHPAGE_RUN pathwick.exe)
# An installer run over an installed version removes that one first.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer for the 64-bit program: CPack's NSIS script leaves the
# stub to makensis, whose default is 32-bit.
# The pages carry the program's name and version at the foot. (CPack's own
# branding setting always adds a /TRIM option, which makensis refuses on
# Linux.) FileFunc.nsh brings GetSize, for the uninstall entry's size.
set(CPACK_NSIS_DEFINES
    "Target ${PATHWICK_NSIS_TARGET}\nBrandingText \"Pathwick ${PROJECT_VERSION}\"\n!include FileFunc.nsh")
# The project has no licence yet: no licence page (CPack would show a
# placeholder text otherwise).
set(CPACK_NSIS_LICENSE_PAGE ";")
# The shortcut, made with the install folder as its working folder (the
# folder last given to SetOutPath), and removed with the uninstaller's.
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "SetOutPath \"$INSTDIR\"\nCreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Pathwick.lnk\" \"$INSTDIR\\pathwick.exe\"")
# CPack's script removes the key Software\Pathwick\Pathwick, in which it
# keeps the install folder and the Start-menu folder; the vendor's key above
# it goes too, once empty. (This code runs after that key is removed.)
set(CPACK_NSIS_DELETE_ICONS_EXTRA
    "Delete \"$SMPROGRAMS\\$MUI_TEMP\\Pathwick.lnk\"\nDeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"")

# CPack's script writes NoModify and NoRepair as strings; "Apps & features"
# reads them as DWORD values, and the installed size from EstimatedSize, in
# KiB. This code runs after CPack's entries are written.
set(PATHWICK_UNINSTALL_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pathwick")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS
    "WriteRegDWORD SHCTX \"${PATHWICK_UNINSTALL_KEY}\" \"NoModify\" 1\nWriteRegDWORD SHCTX \"${PATHWICK_UNINSTALL_KEY}\" \"NoRepair\" 1\n\${GetSize} \"$INSTDIR\" \"/S=0K /G=1\" $0 $1 $2\nWriteRegDWORD SHCTX \"${PATHWICK_UNINSTALL_KEY}\" \"EstimatedSize\" $0")

include(CPack)
