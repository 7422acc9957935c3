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
