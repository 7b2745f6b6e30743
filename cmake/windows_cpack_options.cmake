# Read by cpack for each generator: the installer is named as a setup program,
# the zip keeps the package's plain name.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
