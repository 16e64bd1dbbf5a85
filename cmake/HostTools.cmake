# The host tools of a cross build (cmake/host-tools: the label-font and bitmap-font generators,
# built for the build machine with its FreeType and libpng), as the one ExternalProject target
# velbrin_host_tools. gui/render and icicle both include this file; the first include defines it.
set(VELBRIN_HOST_TOOLS ${PROJECT_BINARY_DIR}/host-tools) # in every including directory's scope
include_guard(GLOBAL)
include(ExternalProject)
ExternalProject_Add(velbrin_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/host-tools
  BINARY_DIR ${VELBRIN_HOST_TOOLS}
  CMAKE_ARGS -DVELBRIN_SOURCE_DIR=${PROJECT_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${VELBRIN_HOST_TOOLS}/velbrin-label-font ${VELBRIN_HOST_TOOLS}/velbrin-bitmap-font)
