# Whether the viewer can be built here: on Linux it needs Qt 6, EGL, libepoxy,
# FreeType, fontconfig and libxcb; on Windows everything comes with the system
# and mingw-w64. A missing library turns the viewer off with a message rather
# than failing the whole build, so that the converter still builds on a bare
# machine. Included once from src/CMakeLists.txt; what is found is global.
if(NOT VESKAR_BUILD_VIEWER OR WIN32)
  return()
endif()

set(VESKAR_VIEWER_MISSING)
find_package(Qt6 COMPONENTS Widgets Gui OpenGL)
if(NOT Qt6_FOUND)
  list(APPEND VESKAR_VIEWER_MISSING "Qt 6 Widgets/Gui/OpenGL (qt6-base-dev, libqt6opengl6-dev)")
endif()
find_package(PkgConfig)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(VESKAR_EPOXY IMPORTED_TARGET GLOBAL epoxy egl)
  pkg_check_modules(VESKAR_FONTS IMPORTED_TARGET GLOBAL freetype2 fontconfig)
  # The X connection is tried before Qt tries it (Qt aborts when it fails).
  pkg_check_modules(VESKAR_XCB IMPORTED_TARGET GLOBAL xcb)
endif()
if(NOT VESKAR_EPOXY_FOUND)
  list(APPEND VESKAR_VIEWER_MISSING "libepoxy and EGL (libepoxy-dev, libegl-dev)")
endif()
if(NOT VESKAR_FONTS_FOUND)
  list(APPEND VESKAR_VIEWER_MISSING "FreeType and fontconfig (libfreetype-dev, libfontconfig-dev)")
endif()
if(NOT VESKAR_XCB_FOUND)
  list(APPEND VESKAR_VIEWER_MISSING "libxcb (libxcb1-dev)")
endif()
if(NOT PKG_CONFIG_FOUND)
  list(APPEND VESKAR_VIEWER_MISSING "pkg-config, which finds the four above")
endif()
if(VESKAR_VIEWER_MISSING)
  list(JOIN VESKAR_VIEWER_MISSING "\n  " missing)
  message(WARNING "The viewer is not built: missing\n  ${missing}\n"
    "veskar-convert, veskar-sample and their tests are built. Install the above and configure "
    "again with -DVESKAR_BUILD_VIEWER=ON to build the viewer, or pass -DVESKAR_BUILD_VIEWER=OFF to build without it.")
  set(VESKAR_BUILD_VIEWER OFF CACHE BOOL "Build the viewer and the libraries only it needs" FORCE)
endif()
