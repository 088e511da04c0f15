# The ZIP for Windows users, one a tree: the module of the tree's width with a
# lower-case extension (QAVREN.spi or QAVREN.sph), its install note, a short
# readme and the licence, all notes with CRLF line ends so that every Windows
# editor shows them as lines. `cpack -G ZIP` in build/win32 or build/win64.
#
# Windows does not care about the case of an extension, but some hosts do:
# Tera Term's loader compares ".spi" / ".sph" case-sensitively and silently
# skips QAVREN.SPI. The build keeps the upper-case name the tests load.
string(TOLOWER "${QAVREN_MODULE_SUFFIX}" QAVREN_PACKAGED_SUFFIX)
set(QAVREN_PACKAGED_MODULE "QAVREN${QAVREN_PACKAGED_SUFFIX}")
if(QAVREN_MODULE_BITS EQUAL 64)
  set(QAVREN_OTHER_MODULE "QAVREN.spi")
  set(QAVREN_OTHER_BITS 32)
else()
  set(QAVREN_OTHER_MODULE "QAVREN.sph")
  set(QAVREN_OTHER_BITS 64)
endif()

set(notes ${CMAKE_BINARY_DIR}/packaging)
foreach(note INSTALL.txt README.txt)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/${note} ${notes}/${note} @ONLY NEWLINE_STYLE CRLF)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${notes}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)

install(FILES ${CMAKE_BINARY_DIR}/${QAVREN_MODULE_FILE} DESTINATION . RENAME ${QAVREN_PACKAGED_MODULE})
# Explorer's thumbnail handler of the same width.
install(FILES ${CMAKE_BINARY_DIR}/qavren_thumbnails.dll DESTINATION .)
install(FILES ${notes}/INSTALL.txt ${notes}/README.txt ${notes}/LICENSE.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME "QAVREN-${QAVREN_VERSION}-win${QAVREN_MODULE_BITS}")

# Registry files beside the module: one turns the reading of the newer forms
# (the Forms value) on, the other off again; one turns the models to a
# three-quarter view (View and the angles), the other back to the front view;
# one shades the polygons (Shaded), the other draws them flat again.
foreach(reg NewerFormsOn NewerFormsOff ThreeQuarterView FrontView ShadedOn ShadedOff)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/${reg}.reg ${CMAKE_BINARY_DIR}/packaging/${reg}.reg
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${reg}.reg DESTINATION .)
endforeach()
