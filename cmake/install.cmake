# What `cmake --install` puts where, and the packages CPack makes of it.
#
# Two components, two packages:
#   program   (package vxsrom): the program, its manual page and guide, the
#             line example, LICENSE and CHANGELOG.md.
#   simulator (package vxsrom-simulator): the stand-in controller library
#             and vxsim, with their documentation and the sample files.
# The controller maker's library is never part of either: a real machine
# gets it from the maker.  The stand-in goes in a package of its own, named
# for what it is, so that nobody installs it believing it drives hardware.
include(GNUInstallDirs)

if(WIN32)
  # One folder, as vxsrom.exe loads vxctl.dll from its own folder only.
  set(VXSROM_BIN_DIR .)
  set(VXSROM_LIB_DIR .)
  set(VXSROM_DOC_DIR .)
  set(VXSROM_SIM_DOC_DIR .)
else()
  set(VXSROM_BIN_DIR ${CMAKE_INSTALL_BINDIR})
  # vxsrom opens "libvxctl.so" by name when none is beside it, so the
  # library directory of the prefix serves: the loader searches /usr/lib
  # (the packages' prefix) itself; another prefix needs its lib directory
  # in ld.so.conf (then ldconfig) or LD_LIBRARY_PATH.
  set(VXSROM_LIB_DIR ${CMAKE_INSTALL_LIBDIR})
  set(VXSROM_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vxsrom)
  set(VXSROM_SIM_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vxsrom-simulator)
endif()

# The program keeps its file name: it refuses to run under any other.
install(TARGETS vxsrom RUNTIME DESTINATION ${VXSROM_BIN_DIR} COMPONENT program)
# vxrom loads vxctl from the same places, so it sits beside vxsrom.
install(TARGETS vxrom RUNTIME DESTINATION ${VXSROM_BIN_DIR} COMPONENT program)
install(FILES README.md docs/guide.md LICENSE CHANGELOG.md
        DESTINATION ${VXSROM_DOC_DIR} COMPONENT program)
if(WIN32)
  install(FILES examples/line.bat DESTINATION ${VXSROM_DOC_DIR}/examples
          COMPONENT program)
else()
  install(PROGRAMS examples/line.sh DESTINATION ${VXSROM_DOC_DIR}/examples
          COMPONENT program)
endif()

install(TARGETS vxsim RUNTIME DESTINATION ${VXSROM_BIN_DIR} COMPONENT simulator)
if(WIN32)
  # The DLL alone: its import library is of no use to anyone.
  install(PROGRAMS $<TARGET_FILE:vxctl> DESTINATION ${VXSROM_LIB_DIR}
          COMPONENT simulator)
else()
  install(TARGETS vxctl LIBRARY DESTINATION ${VXSROM_LIB_DIR} COMPONENT simulator)
endif()
# The recorder is also named vxctl: it goes in a folder of its own, off
# the library path, and is put in vxctl's place by hand when a line's
# real runs are to be recorded.
if(WIN32)
  install(PROGRAMS $<TARGET_FILE:vxctl_recorder> DESTINATION recorder
          COMPONENT simulator)
else()
  install(TARGETS vxctl_recorder
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/vxsrom-simulator/recorder
          COMPONENT simulator)
endif()
install(FILES docs/simulator.md docs/formats.md LICENSE CHANGELOG.md
        DESTINATION ${VXSROM_SIM_DOC_DIR} COMPONENT simulator)
# The sample files are made for the simulator: real boards need the
# maker's firmware and the board's own configuration.
file(GLOB VXSROM_SAMPLES ${CMAKE_SOURCE_DIR}/examples/*.mem
     ${CMAKE_SOURCE_DIR}/examples/*.ini ${CMAKE_SOURCE_DIR}/examples/*.eui)
install(FILES ${VXSROM_SAMPLES} DESTINATION ${VXSROM_SIM_DOC_DIR}/examples
        COMPONENT simulator)

# Packages.  Their version is the project's.
set(CPACK_PACKAGE_NAME vxsrom)
set(CPACK_PACKAGE_VENDOR "vxsrom developers")
set(CPACK_PACKAGE_CONTACT "vxsrom developers <vxsrom@example.invalid>")
# No package-wide summary: each package's synopsis is the first line of
# its component's description (a .deb would otherwise give both packages
# the program's).
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL program simulator)
set(CPACK_COMPONENT_PROGRAM_DISPLAY_NAME "vxsrom")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION
    "Serial ROM utility for VX5130 and VX5130A USB 3.0 host controllers
vxsrom writes, erases, dumps, verifies and generates the serial ROM image
(firmware, PCI subsystem IDs, EUI-64) of VX5130 and VX5130A controllers.
It drives the hardware through the controller maker's library, which is
not part of this package.")
set(CPACK_COMPONENT_SIMULATOR_DISPLAY_NAME "vxsrom simulator")
set(CPACK_COMPONENT_SIMULATOR_DESCRIPTION
    "Simulated VX5130 controllers for vxsrom (stand-in vxctl library)
A stand-in for the controller maker's vxctl library that simulates
controllers and serial ROM parts described in a text file, with the vxsim
tool that makes and shows such machines.  It drives no hardware: it is
for trying vxsrom and dry-running factory scripts.  It is not the maker's
library.")

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(VXSROM_PACKAGE_ARCH x86_64)
else()
  set(VXSROM_PACKAGE_ARCH ${CMAKE_SYSTEM_PROCESSOR})
endif()
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(VXSROM_PACKAGE_SYSTEM windows-${VXSROM_PACKAGE_ARCH})
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(VXSROM_PACKAGE_SYSTEM linux-${VXSROM_PACKAGE_ARCH})
endif()

set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_PROGRAM_FILE_NAME
    vxsrom-${PROJECT_VERSION}-${VXSROM_PACKAGE_SYSTEM})
set(CPACK_ARCHIVE_SIMULATOR_FILE_NAME
    vxsrom-simulator-${PROJECT_VERSION}-${VXSROM_PACKAGE_SYSTEM})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME vxsrom)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME vxsrom-simulator)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_ENHANCES vxsrom)

include(CPack)
