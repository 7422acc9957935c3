# One version for everything shipped: project(vxsrom VERSION ...) is the
# only place it is written.  The Windows resources and manifest, the
# packaging note of the Linux programs, vxsim --version and the packages
# take it from here.  Included once every target exists, wherever it is
# defined.
set(VXSROM_VERSION_QUAD
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
set(VXSROM_VERSION_RC
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(VXSROM_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

target_compile_definitions(vxsim PRIVATE VXSROM_VERSION="${PROJECT_VERSION}")

if(WIN32)
  # The manifest is found beside the resource script that names it.
  configure_file(${CMAKE_SOURCE_DIR}/platform/vxsrom.rc.in
                 ${VXSROM_GENERATED_DIR}/vxsrom.rc @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/platform/vxsrom.manifest.in
                 ${VXSROM_GENERATED_DIR}/vxsrom.manifest @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/sim/vxctl.rc.in
                 ${VXSROM_GENERATED_DIR}/vxctl.rc @ONLY)
  target_sources(vxsrom PRIVATE ${VXSROM_GENERATED_DIR}/vxsrom.rc)
  target_sources(vxctl PRIVATE ${VXSROM_GENERATED_DIR}/vxctl.rc)
  configure_file(${CMAKE_SOURCE_DIR}/vxrom/vxrom.rc.in
                 ${VXSROM_GENERATED_DIR}/vxrom/vxrom.rc @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/vxrom/vxrom.manifest.in
                 ${VXSROM_GENERATED_DIR}/vxrom/vxrom.manifest @ONLY)
  target_sources(vxrom PRIVATE ${VXSROM_GENERATED_DIR}/vxrom/vxrom.rc)
  set_source_files_properties(${VXSROM_GENERATED_DIR}/vxrom/vxrom.rc
    TARGET_DIRECTORY vxrom
    PROPERTIES OBJECT_DEPENDS ${VXSROM_GENERATED_DIR}/vxrom/vxrom.manifest)
  # A change of the manifest alone must rebuild the resource.
  set_source_files_properties(${VXSROM_GENERATED_DIR}/vxsrom.rc
    TARGET_DIRECTORY vxsrom
    PROPERTIES OBJECT_DEPENDS ${VXSROM_GENERATED_DIR}/vxsrom.manifest)
else()
  # The packaging-metadata note (owner "FDO") that distributions and
  # core-dump tools read: readelf -n prints it as text.  Its architecture
  # is Debian's name for the processor, as in the .deb files' names.
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(VXSROM_DEB_ARCH amd64)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(VXSROM_DEB_ARCH arm64)
  else()
    set(VXSROM_DEB_ARCH ${CMAKE_SYSTEM_PROCESSOR})
  endif()
  foreach(pair vxsrom:vxsrom vxrom:vxsrom vxsim:vxsrom-simulator
          vxctl:vxsrom-simulator vxctl_recorder:vxsrom-simulator)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 target)
    list(GET pair 1 package)
    target_link_options(${target} PRIVATE -Xlinker
      "--package-metadata={\"type\":\"deb\",\"name\":\"${package}\",\"version\":\"${PROJECT_VERSION}\",\"architecture\":\"${VXSROM_DEB_ARCH}\"}")
  endforeach()
endif()
