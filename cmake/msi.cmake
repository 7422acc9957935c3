# Windows: the signing step of the install and the .msi installers.
#
# Every executable and DLL is signed as the last step of its component's
# install, after stripping, so the .zip files and the .msi files carry the
# same signed files (cmake/sign.cmake; unsigned unless configured).
set(VXSROM_SIGN_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/sign.cmake)
install(CODE "include(\"${VXSROM_SIGN_SCRIPT}\")
set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VXSROM_BIN_DIR}\")
vxsrom_sign(NAME vxsrom URL \"${VXSROM_HOMEPAGE}\"
            FILES \"\${dir}/vxsrom.exe\" \"\${dir}/vxrom.exe\")"
        COMPONENT program)
install(CODE "include(\"${VXSROM_SIGN_SCRIPT}\")
set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VXSROM_SIM_DIR}\")
vxsrom_sign(NAME \"vxsrom simulator\" URL \"${VXSROM_HOMEPAGE}\"
            FILES \"\${dir}/vxsrom.exe\" \"\${dir}/vxrom.exe\"
                  \"\${dir}/vxsim.exe\" \"\${dir}/vxctl.dll\"
                  \"\${dir}/recorder/vxctl.dll\")"
        COMPONENT simulator)

# The installers, made by wixl (msitools) from the same install
# components: `cmake --build build-windows --target msi`.  Their upgrade
# codes never change: they tie every later version to the installed one,
# which a newer .msi then replaces.
set(VXSROM_PROGRAM_UPGRADE_CODE 6F1B3C52-8E0A-4D51-9C7E-2B9A5D3E4F10)
set(VXSROM_SIMULATOR_UPGRADE_CODE 0C4E7A91-3B26-4F8D-A1E5-7D2C9B8A6E21)
find_program(WIXL wixl)
find_program(MSIBUILD msibuild)
if(NOT WIXL OR NOT MSIBUILD)
  message(STATUS "wixl or msibuild not found (apt-get install wixl msitools): no .msi target")
  return()
endif()
set(VXSROM_MSI_SCRIPT ${CMAKE_BINARY_DIR}/packaging/make-msi.cmake)
configure_file(${CMAKE_SOURCE_DIR}/packaging/msi/make-msi.cmake.in
               ${VXSROM_MSI_SCRIPT} @ONLY)
add_custom_target(msi
  COMMAND ${CMAKE_COMMAND} -P ${VXSROM_MSI_SCRIPT}
  DEPENDS vxsrom vxrom vxsim vxctl vxctl_recorder man
  COMMENT "Windows installers (.msi)"
  USES_TERMINAL VERBATIM)
