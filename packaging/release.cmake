# The release package. In a Windows tree: a ZIP for Windows users holding
# the module (QAVREN.SPI, or QAVREN.SPH in the win64 tree) and INSTALL.txt
# (cpack -G ZIP). In the native tree the same
# rules package what `cmake --install` installs: bin/qavren and its desktop
# files.
if(WIN32)
  # CRLF, so that every Windows editor shows the note as lines.
  configure_file(${CMAKE_SOURCE_DIR}/packaging/INSTALL.txt ${CMAKE_BINARY_DIR}/packaging/INSTALL.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/${QAVREN_MODULE_FILE} ${CMAKE_BINARY_DIR}/packaging/INSTALL.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME "QAVREN-${PROJECT_VERSION}-win64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "QAVREN-${PROJECT_VERSION}-win32")
  endif()
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME "qavren-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
endif()
if(WIN32)
  # Two registry files beside the module: one turns the reading of the newer
  # forms (the Forms value) on, the other off again.
  foreach(reg NewerFormsOn NewerFormsOff)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/${reg}.reg ${CMAKE_BINARY_DIR}/packaging/${reg}.reg
                   @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/${reg}.reg DESTINATION .)
  endforeach()
endif()
set(CPACK_PACKAGE_NAME QAVREN)
set(CPACK_PACKAGE_VENDOR "${QAVREN_NOTICE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "LightWave LWOB objects as pictures in image viewers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
