# The Windows half of the OpenGL side and the window host: the GL device over
# our own WGL function loader, the off-screen context in a hidden window,
# overlay text with stb_truetype, and the Win32 window. Paths are relative to
# src/, which includes this file.

set(VESKAR_WIN32_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VESKAR_PLATFORM_DIR ${CMAKE_CURRENT_LIST_DIR}/..)

add_library(veskar_platform_gl STATIC
  ${VESKAR_PLATFORM_DIR}/GlDevice.cpp
  ${VESKAR_PLATFORM_DIR}/HeadlessContext.cpp
  ${VESKAR_PLATFORM_DIR}/TextDrawer.cpp
  ${VESKAR_WIN32_DIR}/GlFunctions.cpp
  ${VESKAR_WIN32_DIR}/StbTrueTypeFaces.cpp
  ${VESKAR_WIN32_DIR}/StbTrueTypeImpl.cpp
  ${VESKAR_WIN32_DIR}/WglContext.cpp
  ${VESKAR_WIN32_DIR}/WglHeadlessContext.cpp
)
# GlFunctions.h: the loader's entry points here, libepoxy's on Linux.
target_include_directories(veskar_platform_gl PUBLIC ${VESKAR_WIN32_DIR})
target_link_libraries(veskar_platform_gl PUBLIC veskar_platform_core PRIVATE opengl32 gdi32 user32 shell32 ole32 uuid)
# stb is third-party code; keep its warnings out of ours.
set_source_files_properties(${VESKAR_WIN32_DIR}/StbTrueTypeImpl.cpp PROPERTIES COMPILE_OPTIONS "-w")

add_library(veskar_platform_host STATIC
  ${VESKAR_PLATFORM_DIR}/Host.cpp
  ${VESKAR_PLATFORM_DIR}/HeadlessHost.cpp
)
target_link_libraries(veskar_platform_host PUBLIC veskar_platform_gl)

add_library(veskar_platform_win32 STATIC
  ${VESKAR_WIN32_DIR}/Win32Host.cpp
  ${VESKAR_WIN32_DIR}/Win32Shell.cpp
)
target_link_libraries(veskar_platform_win32 PUBLIC veskar_platform_host PRIVATE comdlg32 shell32 user32 gdi32)
# The viewer's window host.
add_library(veskar_platform_window ALIAS veskar_platform_win32)

# Programs take their command line through wmain.
target_link_options(veskar_program_entry INTERFACE -municode)

# The icon as resource 101, made from the same PNG the Linux window shows:
# an icon file may hold a PNG as it is, behind a 22-byte header.
set(VESKAR_ICON_PNG ${PROJECT_SOURCE_DIR}/src/app/veskar-icon.png)
set(VESKAR_ICON_ICO ${CMAKE_CURRENT_BINARY_DIR}/veskar-icon.ico)
add_custom_command(OUTPUT ${VESKAR_ICON_ICO}
  COMMAND bash ${VESKAR_WIN32_DIR}/ico-from-png.sh ${VESKAR_ICON_PNG} ${VESKAR_ICON_ICO}
  DEPENDS ${VESKAR_ICON_PNG} ${VESKAR_WIN32_DIR}/ico-from-png.sh
  COMMENT "Making the window icon")
configure_file(${VESKAR_WIN32_DIR}/Resources.rc.in ${CMAKE_CURRENT_BINARY_DIR}/Resources.rc @ONLY)
set(VESKAR_WINDOW_RESOURCES ${CMAKE_CURRENT_BINARY_DIR}/Resources.rc)
set_source_files_properties(${VESKAR_WINDOW_RESOURCES} PROPERTIES OBJECT_DEPENDS ${VESKAR_ICON_ICO})
