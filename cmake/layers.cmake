# Each folder is a library that sees its own headers and those of the
# folders below it, and nothing above: a header is reached as
# "folder/name.h" through a directory that holds only a link to its own
# folder, so a wrong-way include fails to build.
function(vxsrom_expose_headers target folder)
  set(root ${PROJECT_BINARY_DIR}/include/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# Warnings for all of the project's own code; VXSROM_WERROR makes them
# errors (CI turns it on).
option(VXSROM_WERROR "Treat compiler warnings as errors" OFF)
add_library(vxsrom_warnings INTERFACE)
target_compile_options(vxsrom_warnings INTERFACE
  -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion -Wcast-qual
  -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wnull-dereference
  -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations
  $<$<BOOL:${VXSROM_WERROR}>:-Werror>)

# The include check of cmake/check_layers.cmake, over every product
# source, run by every build.
function(vxsrom_check_layers)
  set(folders platform device rom words vxsrom line store store/sqlite store/odbc
              vxrom vxrom/provision sim)
  set(sources "")
  foreach(folder IN LISTS folders)
    file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cc
         ${PROJECT_SOURCE_DIR}/${folder}/*.h)
    list(APPEND sources ${found})
  endforeach()
  set(stamp ${PROJECT_BINARY_DIR}/layers.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DSTAMP=${stamp}
            -P ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake
    DEPENDS ${sources} ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake
    COMMENT "Checking the layers' includes" VERBATIM)
  add_custom_target(layers ALL DEPENDS ${stamp})
endfunction()
