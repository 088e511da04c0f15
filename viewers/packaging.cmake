# The viewer plug-ins' Debian packages, made beside the command's by one
# `cpack -G DEB` with components: qavren-gdk-pixbuf (component gdk-pixbuf)
# and qavren-kde (component kde). Only CPACK_* variables are set here, so
# the file reads the same at configure time and inside a cpack config.
# Neither package has maintainer scripts: gdk-pixbuf's own trigger on its
# loader folder rebuilds the loader cache, and Qt and KIO look their
# plug-in folders up when they start.
#
# Each description's first line is its summary: CPack puts the project's
# summary above every component's description unless that summary is
# CPack's default, so the command's package states its own the same way.
# In the tree's configuration (not in a cpack config), the plug-ins join
# the packaged targets: built by qavren_packaged, hardened as Debian builds.
if(DEFINED QAVREN_PACKAGED_TARGETS)
  list(APPEND QAVREN_PACKAGED_TARGETS qavren_viewer_common pixbufloader_lwo qavren_lwo_qt5 qavren_lwo_qt6
       qavren_lwo_thumbnail qavren-gdk-pixbuf_changelog qavren-kde_changelog)
endif()

set(CPACK_DEBIAN_GDK-PIXBUF_PACKAGE_NAME qavren-gdk-pixbuf)
set(CPACK_DEBIAN_GDK-PIXBUF_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_GDK-PIXBUF_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_GDK-PIXBUF_PACKAGE_SHLIBDEPS ON)
# The command's package brings the MIME magic by which gdk-pixbuf knows an
# object from its content (shared-mime-info alone calls it an IFF file).
set(CPACK_DEBIAN_GDK-PIXBUF_PACKAGE_DEPENDS "qavren (= ${CPACK_DEBIAN_PACKAGE_VERSION})")
set(CPACK_DEBIAN_GDK-PIXBUF_DESCRIPTION "LightWave 3D objects as pictures in GTK image viewers
A gdk-pixbuf loader that opens LightWave 3D object files (.lwo, in the LWOB,
LWLO, LWO2 and LWO3 forms) as pictures in Eye of GNOME, gThumb, Ristretto,
Geeqie and every other program that loads pictures through gdk-pixbuf, and
lets gdk-pixbuf-thumbnailer make their thumbnails. Each object is drawn
as the qavren command's thumbnail draws it, at the size the program asks
for (800 x 600 when it asks for none).")

set(CPACK_DEBIAN_KDE_PACKAGE_NAME qavren-kde)
set(CPACK_DEBIAN_KDE_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_KDE_PACKAGE_SECTION kde)
set(CPACK_DEBIAN_KDE_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_KDE_PACKAGE_RECOMMENDS "qavren (= ${CPACK_DEBIAN_PACKAGE_VERSION})")
set(CPACK_DEBIAN_KDE_DESCRIPTION "LightWave 3D objects as pictures in Qt viewers and Dolphin
A Qt image-format plug-in that opens LightWave 3D object files (.lwo, in the
LWOB, LWLO, LWO2 and LWO3 forms) as pictures in Gwenview, nomacs, qimgv and
every other program that reads pictures through Qt 5 or Qt 6, and a KIO
thumbnail plug-in that shows them as previews in Dolphin and KDE's file
dialogs (enable \"LightWave objects\" in Dolphin's preview settings). Each
object is drawn as the qavren command's thumbnail draws it, at the size the
program asks for (800 x 600 when it asks for none).")
