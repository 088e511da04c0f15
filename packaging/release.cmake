# The release package. In a Windows tree: a ZIP for Windows users holding
# the module and its notes (packaging/windows_zip.cmake; cpack -G ZIP). In
# the native tree the same rules package what `cmake --install` installs:
# bin/qavren and its desktop files, as a TGZ or as a Debian package
# (cpack -G DEB, packaging/debian.cmake).
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows_zip.cmake)
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME "qavren-${QAVREN_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
  include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
endif()
set(CPACK_PACKAGE_NAME QAVREN)
set(CPACK_PACKAGE_VENDOR "${QAVREN_NOTICE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "LightWave LWOB objects as pictures in image viewers")
set(CPACK_PACKAGE_VERSION ${QAVREN_VERSION})
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
