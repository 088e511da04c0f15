# The Debian packages of the native tree, all from one `cpack -G DEB` run, one
# package per install component, each named NAME_VERSION_ARCH.deb:
#   command     -> qavren: the command, its thumbnailer entry, the MIME package
#                  and the manual page
#   gdk-pixbuf  -> qavren-gdk-pixbuf, kde -> qavren-kde: the viewers' loaders,
#                  set up in viewers/packaging.cmake when the tree builds them
# Every package carries the copyright file (machine-readable, made from
# LICENSE) and the changelog in /usr/share/doc/PACKAGE, as Debian wants, and
# its binaries are built with Debian's hardening flags. No package has
# maintainer scripts: shared-mime-info's file trigger on
# /usr/share/mime/packages makes dpkg rebuild the MIME database when the
# package is installed or removed.
include(GNUInstallDirs)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_PACKAGE_NAME qavren)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${QAVREN_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "QAVREN <qavren@qavren.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QAVREN_URL}")
# The libraries each package's binaries link, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The command's package. Each description's first line is its summary. When
# `command` is the only component CPack makes one package from the plain
# CPACK_DEBIAN_PACKAGE_* variables, so they say the same.
set(CPACK_DEBIAN_COMMAND_PACKAGE_NAME qavren)
set(CPACK_DEBIAN_COMMAND_PACKAGE_RECOMMENDS "shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${CPACK_DEBIAN_COMMAND_PACKAGE_RECOMMENDS}")
set(CPACK_DEBIAN_COMMAND_DESCRIPTION "LightWave 3D objects as pictures and desktop thumbnails
The qavren command draws LightWave 3D object files of all four forms
(LWOB, LWLO, LWO2 and LWO3) as PNG or BMP pictures, as a wireframe or as
flat-shaded polygons, folder by folder if asked, and tells what an object
holds and what is wrong with it.
.
It is also the freedesktop thumbnailer for image/x-lwo, so that file
managers (GNOME Files, and Thunar and others through tumbler) show objects
as pictures; duplicate thumbnail requests are harmless.")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_COMMAND_DESCRIPTION}")

# The copyright file and the changelog for a package's doc folder, and the
# manual page, each compressed as Debian's tools compress them (gzip -9n:
# no name, no time stamp, the same bytes every build).
set(QAVREN_DEB_DOCS ${CMAKE_BINARY_DIR}/packaging/debian)
file(MAKE_DIRECTORY ${QAVREN_DEB_DOCS})
find_program(QAVREN_GZIP gzip REQUIRED)
function(qavren_gzip source target)
  execute_process(COMMAND ${QAVREN_GZIP} -9nc ${source} OUTPUT_FILE ${target} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${source}: ${failed}")
  endif()
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

file(READ ${CMAKE_SOURCE_DIR}/LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" ignored "${license}")
set(holders "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*\n(Permission )" "\\1" terms "${license}")
string(REGEX REPLACE "\n+$" "" terms "${terms}")
string(REGEX REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REGEX REPLACE "\n" "\n " terms "${terms}")
file(WRITE ${QAVREN_DEB_DOCS}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: QAVREN
Upstream-Contact: ${CPACK_DEBIAN_PACKAGE_MAINTAINER}
Source: ${QAVREN_URL}

Files: *
Copyright: ${holders}
License: Expat

License: Expat
 ${terms}
")
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
qavren_gzip(${CMAKE_SOURCE_DIR}/packaging/debian/changelog ${QAVREN_DEB_DOCS}/changelog.gz)
qavren_gzip(${CMAKE_SOURCE_DIR}/share/man/qavren.1 ${QAVREN_DEB_DOCS}/qavren.1.gz)

# copyright and changelog.gz into /usr/share/doc/PACKAGE, with COMPONENT.
function(qavren_package_docs component package)
  install(FILES ${QAVREN_DEB_DOCS}/copyright ${QAVREN_DEB_DOCS}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()
qavren_package_docs(command qavren)
install(FILES ${QAVREN_DEB_DOCS}/qavren.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT command)

# The binaries that go into packages. viewers/packaging.cmake adds its own
# targets to this list, sets its components' CPACK_DEBIAN_<COMPONENT>_*
# variables and calls qavren_package_docs for each of its packages.
set(QAVREN_PACKAGED_TARGETS qavren qavren_cli qavren_core)
include(${CMAKE_SOURCE_DIR}/viewers/packaging.cmake OPTIONAL)

# Debian's hardening flags as dpkg-buildflags gives them with every hardening
# feature on (fortified functions, stack protector, immediate binding among
# them), for the packaged binaries only. Fortification needs an optimised
# build, so a Debug build goes without it.
set(hardening_compile -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong -fstack-clash-protection
    -Wformat -Werror=format-security)
set(hardening_link -Wl,-z,relro -Wl,-z,now)
find_program(QAVREN_DPKG_BUILDFLAGS dpkg-buildflags)
if(QAVREN_DPKG_BUILDFLAGS)
  set(hardening_compile "")
  set(hardening_link "")
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${QAVREN_DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    foreach(flag IN LISTS flags)
      if(flag MATCHES "^-D_FORTIFY_SOURCE")
        list(APPEND hardening_compile -U_FORTIFY_SOURCE ${flag})
      elseif(flag MATCHES "^(-fstack-protector|-fstack-clash-protection|-fcf-protection|-mbranch-protection|-Wformat|-Werror=format-security)")
        list(APPEND hardening_compile ${flag})
      elseif(flag MATCHES "^-Wl,-z,")
        list(APPEND hardening_link ${flag})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES hardening_compile)
endif()
# What the packages ship and nothing else: `cmake --build --preset package`
# builds this, without the tests, benchmarks and sanitized duplicates.
add_custom_target(qavren_packaged)
set(optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
foreach(target IN LISTS QAVREN_PACKAGED_TARGETS)
  if(TARGET ${target})
    add_dependencies(qavren_packaged ${target})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "UTILITY")  # a generated file the package ships
      continue()
    endif()
    foreach(flag IN LISTS hardening_compile)
      if(flag MATCHES "FORTIFY")
        target_compile_options(${target} PRIVATE $<${optimised}:${flag}>)
      else()
        target_compile_options(${target} PRIVATE ${flag})
      endif()
    endforeach()
    if(NOT type STREQUAL "STATIC_LIBRARY")
      target_link_options(${target} PRIVATE ${hardening_link})
    endif()
  endif()
endforeach()
