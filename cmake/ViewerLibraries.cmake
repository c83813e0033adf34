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
foreach(found_and_what IN ITEMS
    "VESKAR_EPOXY_FOUND|libepoxy and EGL (libepoxy-dev, libegl-dev)"
    "VESKAR_FONTS_FOUND|FreeType and fontconfig (libfreetype-dev, libfontconfig-dev)"
    "VESKAR_XCB_FOUND|libxcb (libxcb1-dev)")
  string(REPLACE "|" ";" pair "${found_and_what}")
  list(GET pair 0 found)
  list(GET pair 1 what)
  if(NOT ${found})
    list(APPEND VESKAR_VIEWER_MISSING "${what}")
  endif()
endforeach()
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
