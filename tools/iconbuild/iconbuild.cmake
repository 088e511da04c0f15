# Turns the text pictures of ui/ into .ico and .cur files at build time.
# The cross build's compilers make Windows programs, so iconbuild is compiled
# here with the build machine's own C++ compiler and run on the spot.
find_program(QAVREN_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(QAVREN_ICONBUILD ${CMAKE_BINARY_DIR}/host/iconbuild)
add_custom_command(
  OUTPUT ${QAVREN_ICONBUILD}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${QAVREN_HOST_CXX} -std=c++17 -O1 -Wall -Wextra -Wshadow -Werror
          -o ${QAVREN_ICONBUILD} ${CMAKE_CURRENT_LIST_DIR}/iconbuild.cpp
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/iconbuild.cpp
  COMMENT "Building iconbuild for the build machine"
  VERBATIM)

# iconbuild_picture(icon|cursor PICTURE.txt OUTPUT): OUTPUT is remade from
# the picture whenever the picture or the tool changes.
function(iconbuild_picture kind picture output)
  get_filename_component(directory ${output} DIRECTORY)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${directory}
    COMMAND ${QAVREN_ICONBUILD} ${kind} ${picture} ${output}
    DEPENDS ${QAVREN_ICONBUILD} ${picture}
    COMMENT "Drawing ${output}"
    VERBATIM)
endfunction()
