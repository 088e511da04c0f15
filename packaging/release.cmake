# The release packages. In a Windows tree: a ZIP for Windows users holding
# the module and its notes (packaging/windows_zip.cmake; cpack -G ZIP). In
# the native tree the same rules package what `cmake --install` installs: the
# command and its desktop files (and the viewers' loaders where the tree
# builds them), as one TGZ or as Debian packages, one per component (cpack -G
# DEB, packaging/debian.cmake).
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows_zip.cmake)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "LightWave 3D objects as pictures in image viewers that load Susie plug-ins")
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME "qavren-${QAVREN_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
  # No summary for all packages: each Debian package's description begins
  # with its own.
  include(${CMAKE_CURRENT_LIST_DIR}/debian.cmake)
endif()
set(CPACK_PACKAGE_NAME QAVREN)
set(CPACK_PACKAGE_VENDOR "${QAVREN_NOTICE}")
set(CPACK_PACKAGE_VERSION ${QAVREN_VERSION})
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
