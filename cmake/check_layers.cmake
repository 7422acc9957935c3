# Checks that every folder's sources include only what its layer may see:
# run by the build (cmake -P, with SOURCE_DIR and STAMP set) whenever a
# source changes, so a wrong-way include fails the build where it is
# written.  The include roots of cmake/layers.cmake stop a folder from
# seeing the folders above it; this also covers the folders nested in
# one root (store/sqlite, vxrom/provision) and the single headers a
# layer may take from another (sim's contract header).
#
# Each rule: a folder, then the include paths its own files may use, as
# regular expressions over the quoted path.  A folder without a rule may
# not include the project's headers at all.
set(rules
  "platform|platform/.*"
  "device|platform/.*|device/.*"
  "rom|platform/.*|device/.*|rom/.*"
  "words|platform/.*|device/.*|words/.*"
  "vxsrom|platform/.*|device/.*|rom/.*|words/.*|vxsrom/.*"
  "line|platform/.*|device/(controller_library|exit_codes)\\.h|line/.*"
  "store|platform/.*|device/(controller_library|exit_codes)\\.h|line/.*|store/[a-z_]+\\.h"
  "store/sqlite|store/db\\.h"
  "store/odbc|platform/text\\.h|store/db\\.h"
  "vxrom/provision|platform/.*|device/.*|rom/.*|words/.*|line/.*|store/[a-z_]+\\.h|vxrom/(options|output|store_access)\\.h|vxrom/provision/.*"
  "vxrom|platform/.*|device/.*|rom/.*|words/.*|line/.*|store/[a-z_]+\\.h|vxrom/[a-z_]+\\.h|vxrom/provision/(provision|worker)\\.h"
  "sim|platform/.*|device/controller_library\\.h|sim/.*")

set(failures "")
foreach(rule IN LISTS rules)
  string(REPLACE "|" ";" parts "${rule}")
  list(POP_FRONT parts folder)
  list(JOIN parts "|" allowed)
  file(GLOB sources ${SOURCE_DIR}/${folder}/*.cc ${SOURCE_DIR}/${folder}/*.h)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([^\"]*)\".*" "\\1" path "${line}")
      if(NOT path MATCHES "^(${allowed})$")
        file(RELATIVE_PATH where ${SOURCE_DIR} ${source})
        string(APPEND failures "  ${where} includes ${path}\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "includes against the layers:\n${failures}")
endif()
file(TOUCH ${STAMP})
