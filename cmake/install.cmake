# What `cmake --install` puts where, and the packages CPack makes of it.
#
# Two components, two packages, no folder in common:
#   program   (package vxsrom): vxsrom and vxrom, their manual pages and
#             the guide, the line example, a note on where the maker's
#             library goes.  Never a controller library.
#   simulator (package vxsrom-simulator): a sandbox of its own holding
#             copies of vxsrom and vxrom beside the stand-in library,
#             vxsim and the recorder, with the sample files.
# The stand-in never sits where the maker's library is looked for: beside
# the installed program, or on the system library path.  There a real
# station's every write would "succeed" on a simulated machine.
include(GNUInstallDirs)

# Package facts, in one place: the .deb control fields, the archives, the
# .msi files and the signatures take them from here.
set(VXSROM_HOMEPAGE "https://vxsrom.example.invalid/")
set(VXSROM_MAINTAINER "vxsrom developers <vxsrom@example.invalid>")
set(VXSROM_VENDOR "vxsrom developers")
set(VXSROM_DEB_SECTION utils)
set(VXSROM_PROGRAM_SUMMARY
    "Serial ROM utility for VX5130 and VX5130A USB 3.0 host controllers")
set(VXSROM_PROGRAM_DESCRIPTION
    "vxsrom writes, erases, dumps, verifies and generates the serial ROM image
(firmware, PCI subsystem IDs, EUI-64) of VX5130 and VX5130A controllers.
It drives the hardware through the controller maker's library, which is
not part of this package.")
set(VXSROM_SIMULATOR_SUMMARY
    "Simulated VX5130 controllers for trying vxsrom (no hardware)")
set(VXSROM_SIMULATOR_DESCRIPTION
    "A sandbox of its own: copies of vxsrom and vxrom beside a stand-in for
the controller maker's vxctl library that simulates controllers and
serial ROM parts described in a text file, with the vxsim tool that
makes and shows such machines.  It drives no hardware and is never put
on the library path: it is for trying vxsrom and dry-running factory
scripts (vxsrom-sim, vxrom-sim).")

if(WIN32)
  # Each component in a folder named for its package and version: the
  # .zip files unpack into them, the .msi files install their contents.
  # vxsrom.exe loads vxctl.dll from its own folder, so the two must never
  # be one folder.
  set(VXSROM_BIN_DIR vxsrom-${PROJECT_VERSION})
  set(VXSROM_DOC_DIR ${VXSROM_BIN_DIR})
  set(VXSROM_SIM_DIR vxsrom-simulator-${PROJECT_VERSION})
  set(VXSROM_SIM_DOC_DIR ${VXSROM_SIM_DIR})
  set(VXSROM_SIM_RECORDER_DIR ${VXSROM_SIM_DIR}/recorder)
else()
  set(VXSROM_BIN_DIR ${CMAKE_INSTALL_BINDIR})
  set(VXSROM_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vxsrom)
  # A private directory, as Debian keeps a package's own programs and
  # libraries: the loader never searches it, and the copies of vxsrom and
  # vxrom in it find the stand-in beside themselves.
  set(VXSROM_SIM_DIR lib/vxsrom-simulator)
  set(VXSROM_SIM_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vxsrom-simulator)
  set(VXSROM_SIM_RECORDER_DIR ${VXSROM_SIM_DIR}/recorder)
endif()
set(VXSROM_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
set(VXSROM_DOCS_OUT ${CMAKE_BINARY_DIR}/docs)
file(MAKE_DIRECTORY ${VXSROM_PACKAGING_DIR}/bin ${VXSROM_PACKAGING_DIR}/man)

# The programs keep their file names (vxsrom refuses to run under any
# other), in both components.
install(TARGETS vxsrom vxrom RUNTIME DESTINATION ${VXSROM_BIN_DIR}
        COMPONENT program)
install(TARGETS vxsrom vxrom vxsim RUNTIME DESTINATION ${VXSROM_SIM_DIR}
        COMPONENT simulator)
if(WIN32)
  # The DLLs alone (as targets, so that they are stripped): their import
  # libraries are of no use to anyone and go in no package.
  install(TARGETS vxctl RUNTIME DESTINATION ${VXSROM_SIM_DIR}
          COMPONENT simulator
          ARCHIVE DESTINATION import-libraries COMPONENT import-libraries
          EXCLUDE_FROM_ALL)
  install(TARGETS vxctl_recorder
          RUNTIME DESTINATION ${VXSROM_SIM_RECORDER_DIR} COMPONENT simulator
          ARCHIVE DESTINATION import-libraries COMPONENT import-libraries
          EXCLUDE_FROM_ALL)
  # The launchers, as Linux's: in a folder of their own (the .msi puts it
  # on the PATH), never beside a vxsrom.exe that a PATH search would find
  # before the real one.  Each runs the sandbox's copy with the words as
  # typed; its exit code, negative ones too, is the batch file's.
  foreach(link vxsrom-sim:vxsrom vxrom-sim:vxrom vxsim:vxsim)
    string(REPLACE ":" ";" link ${link})
    list(GET link 0 name)
    list(GET link 1 target)
    file(CONFIGURE OUTPUT ${VXSROM_PACKAGING_DIR}/bin/${name}.cmd
         CONTENT "@rem ${name}: the simulator's ${target}.exe, beside the stand-in library.\n@\"%~dp0..\\${target}.exe\" %*\n"
         NEWLINE_STYLE CRLF)
    install(FILES ${VXSROM_PACKAGING_DIR}/bin/${name}.cmd
            DESTINATION ${VXSROM_SIM_DIR}/bin COMPONENT simulator)
  endforeach()
else()
  install(TARGETS vxctl LIBRARY DESTINATION ${VXSROM_SIM_DIR}
          COMPONENT simulator)
  # The recorder is also named vxctl: a folder of its own, put in vxctl's
  # place by hand when a line's real runs are to be recorded.
  install(TARGETS vxctl_recorder LIBRARY DESTINATION ${VXSROM_SIM_RECORDER_DIR}
          COMPONENT simulator)
  # The launchers on the PATH: links into the sandbox, so that the
  # programs see their own folder (and the stand-in) as /proc/self/exe.
  foreach(link vxsrom-sim:vxsrom vxrom-sim:vxrom vxsim:vxsim)
    string(REPLACE ":" ";" link ${link})
    list(GET link 0 name)
    list(GET link 1 target)
    file(CREATE_LINK ../${VXSROM_SIM_DIR}/${target}
         ${VXSROM_PACKAGING_DIR}/bin/${name} SYMBOLIC)
    install(FILES ${VXSROM_PACKAGING_DIR}/bin/${name}
            DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT simulator)
  endforeach()
endif()

# Documents.  Linux: Markdown and manual pages, Debian's copyright and
# changelog.  Windows: the same rendered as HTML, in both folders.
set(VXSROM_PROGRAM_DOCS ${CMAKE_SOURCE_DIR}/docs/guide.md
    ${CMAKE_SOURCE_DIR}/docs/report-example.png ${CMAKE_SOURCE_DIR}/CHANGELOG.md)
set(VXSROM_SIM_DOCS ${CMAKE_SOURCE_DIR}/docs/simulator.md
    ${CMAKE_SOURCE_DIR}/docs/formats.md ${CMAKE_SOURCE_DIR}/CHANGELOG.md)
if(WIN32)
  set(VXSROM_HTML README.html guide.html simulator.html formats.html
      vxsrom.1.html vxrom.1.html vxsim.1.html)
  list(TRANSFORM VXSROM_HTML PREPEND ${VXSROM_DOCS_OUT}/)
  # All of them in both folders: the documents link to each other.
  install(FILES ${VXSROM_HTML} ${CMAKE_SOURCE_DIR}/CHANGELOG.md
          ${CMAKE_SOURCE_DIR}/docs/report-example.png
          DESTINATION ${VXSROM_DOC_DIR} COMPONENT program)
  install(FILES ${VXSROM_HTML} ${CMAKE_SOURCE_DIR}/CHANGELOG.md
          ${CMAKE_SOURCE_DIR}/docs/report-example.png
          DESTINATION ${VXSROM_SIM_DOC_DIR} COMPONENT simulator)
  # Named so that a double click opens them.
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${VXSROM_DOC_DIR}
          RENAME LICENSE.txt COMPONENT program)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${VXSROM_SIM_DOC_DIR}
          RENAME LICENSE.txt COMPONENT simulator)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/controller-library.txt
          DESTINATION ${VXSROM_BIN_DIR} RENAME CONTROLLER-LIBRARY.txt
          COMPONENT program)
  install(FILES examples/line.bat DESTINATION ${VXSROM_DOC_DIR}/examples
          COMPONENT program)
else()
  install(FILES ${CMAKE_SOURCE_DIR}/docs/first-page.md
          DESTINATION ${VXSROM_DOC_DIR} RENAME README.md COMPONENT program)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/first-page.md
          DESTINATION ${VXSROM_SIM_DOC_DIR} RENAME README.md
          COMPONENT simulator)
  install(FILES ${VXSROM_PROGRAM_DOCS} DESTINATION ${VXSROM_DOC_DIR}
          COMPONENT program)
  install(FILES ${VXSROM_SIM_DOCS} DESTINATION ${VXSROM_SIM_DOC_DIR}
          COMPONENT simulator)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/controller-library.txt
          DESTINATION ${VXSROM_DOC_DIR} RENAME CONTROLLER-LIBRARY.txt
          COMPONENT program)
  install(PROGRAMS examples/line.sh DESTINATION ${VXSROM_DOC_DIR}/examples
          COMPONENT program)
  # Debian's copyright file and change log, per package.
  string(TIMESTAMP VXSROM_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  set(CPACK_PACKAGE_CONTACT ${VXSROM_MAINTAINER})
  foreach(component program:vxsrom:${VXSROM_DOC_DIR}
          simulator:vxsrom-simulator:${VXSROM_SIM_DOC_DIR})
    string(REPLACE ":" ";" component ${component})
    list(GET component 0 name)
    list(GET component 1 VXSROM_DEB_PACKAGE)
    list(GET component 2 dir)
    set(out ${VXSROM_PACKAGING_DIR}/${VXSROM_DEB_PACKAGE})
    configure_file(${CMAKE_SOURCE_DIR}/packaging/deb/copyright.in
                   ${out}/copyright @ONLY)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/deb/changelog.in
                   ${out}/changelog @ONLY)
    execute_process(COMMAND gzip -9nf ${out}/changelog)
    install(FILES ${out}/copyright ${out}/changelog.gz DESTINATION ${dir}
            COMPONENT ${name})
  endforeach()
  if(VXSROM_DOCS_BUILT)
    install(FILES ${VXSROM_DOCS_OUT}/vxsrom.1.gz ${VXSROM_DOCS_OUT}/vxrom.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
    file(CREATE_LINK vxsrom-sim.1.gz ${VXSROM_PACKAGING_DIR}/man/vxrom-sim.1.gz
         SYMBOLIC)
    install(FILES ${VXSROM_DOCS_OUT}/vxsim.1.gz ${VXSROM_DOCS_OUT}/vxsrom-sim.1.gz
            ${VXSROM_PACKAGING_DIR}/man/vxrom-sim.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT simulator)
  endif()
endif()
# The sample files are made for the simulator: real boards need the
# maker's firmware and the board's own configuration.
file(GLOB VXSROM_SAMPLES ${CMAKE_SOURCE_DIR}/examples/*.mem
     ${CMAKE_SOURCE_DIR}/examples/*.ini ${CMAKE_SOURCE_DIR}/examples/*.eui)
install(FILES ${VXSROM_SAMPLES} DESTINATION ${VXSROM_SIM_DOC_DIR}/examples
        COMPONENT simulator)

if(WIN32)
  # Last of each component: every executable and DLL signed once it is
  # installed (and stripped), when a certificate is configured.
  include(cmake/msi.cmake)
endif()

# Packages.  Their version is the project's; the programs are stripped.
set(CPACK_PACKAGE_NAME vxsrom)
set(CPACK_PACKAGE_VENDOR ${VXSROM_VENDOR})
set(CPACK_PACKAGE_CONTACT ${VXSROM_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL ${VXSROM_HOMEPAGE})
set(CPACK_STRIP_FILES ON)
# No package-wide summary: each package's synopsis is the first line of
# its component's description (a .deb would otherwise give both packages
# the program's).
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL program simulator)
set(CPACK_COMPONENT_PROGRAM_DISPLAY_NAME "vxsrom")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION
    "${VXSROM_PROGRAM_SUMMARY}\n${VXSROM_PROGRAM_DESCRIPTION}")
set(CPACK_COMPONENT_SIMULATOR_DISPLAY_NAME "vxsrom simulator")
set(CPACK_COMPONENT_SIMULATOR_DESCRIPTION
    "${VXSROM_SIMULATOR_SUMMARY}\n${VXSROM_SIMULATOR_DESCRIPTION}")

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
# The folders are in the install paths on Windows; on Linux the archive
# holds the prefix's bin/, lib/ and share/.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_PROGRAM_FILE_NAME
    vxsrom-${PROJECT_VERSION}-${VXSROM_PACKAGE_SYSTEM})
set(CPACK_ARCHIVE_SIMULATOR_FILE_NAME
    vxsrom-simulator-${PROJECT_VERSION}-${VXSROM_PACKAGE_SYSTEM})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION ${VXSROM_DEB_SECTION})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VXSROM_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VXSROM_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The stand-in and the recorder are private to the sandbox: no shlibs
# file, no ldconfig trigger; nothing links them, vxsrom loads them.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME vxsrom)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME vxsrom-simulator)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_ENHANCES vxsrom)

include(CPack)
