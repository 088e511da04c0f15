# The Debian package of the native tree (cpack -G DEB): qavren_VERSION_ARCH.deb
# with the command, the thumbnailer entry and the MIME package under /usr,
# where desktops look, GNOME's thumbnail sandbox included. It has no
# maintainer scripts: shared-mime-info's file trigger on
# /usr/share/mime/packages makes dpkg rebuild the MIME database when the
# package is installed or removed.
set(CPACK_DEBIAN_PACKAGE_NAME qavren)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${QAVREN_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "QAVREN <qavren@qavren.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QAVREN_URL}")
# The libraries the command links, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info")
# CPack puts the summary line above this text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "qavren draws LightWave LWOB objects as pictures (PNG or BMP), exactly as the
QAVREN.SPI image-viewer plug-in draws them, and serves as the freedesktop
thumbnailer for image/x-lwo, so that file managers (GNOME Files, Thunar and
others using tumbler) show objects as their wireframe pictures.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
