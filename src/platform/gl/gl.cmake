# The OpenGL side of the platform: the GL device, the headless EGL context and
# the overlay text drawer. Their headers include no GL, EGL or FreeType header,
# so a window toolkit's own GL headers can sit beside them.

find_package(PkgConfig REQUIRED)
pkg_check_modules(VESKAR_EPOXY REQUIRED IMPORTED_TARGET epoxy)
pkg_check_modules(VESKAR_FONTS REQUIRED IMPORTED_TARGET freetype2 fontconfig)

set(VESKAR_PLATFORM_DIR ${CMAKE_CURRENT_LIST_DIR}/..)
add_library(veskar_platform_gl STATIC
  ${VESKAR_PLATFORM_DIR}/GlDevice.cpp
  ${VESKAR_PLATFORM_DIR}/HeadlessContext.cpp
  ${VESKAR_PLATFORM_DIR}/TextDrawer.cpp
)
target_link_libraries(veskar_platform_gl
  PUBLIC veskar_platform_core
  PRIVATE PkgConfig::VESKAR_EPOXY PkgConfig::VESKAR_FONTS
)
# The device's own GLSL, built into it.
include(${PROJECT_SOURCE_DIR}/cmake/EmbedText.cmake)
set(VESKAR_GLSL_DIR ${CMAKE_CURRENT_LIST_DIR}/glsl)
veskar_embed_text(veskar_platform_gl HEADER platform/gl/DeviceGlsl.h FILES
  ${VESKAR_GLSL_DIR}/AlphaTestPrelude.glsl
  ${VESKAR_GLSL_DIR}/BuiltinFragment.glsl
  ${VESKAR_GLSL_DIR}/BuiltinVertex.glsl
  ${VESKAR_GLSL_DIR}/ClipPrelude.glsl
  ${VESKAR_GLSL_DIR}/TextFragment.glsl
  ${VESKAR_GLSL_DIR}/TextVertex.glsl
)

if(VESKAR_BUILD_TESTS)
  find_package(GTest REQUIRED)
  # This directory is read before the top level turns testing on.
  enable_testing()
  set(VESKAR_GL_TEST_DIR ${PROJECT_SOURCE_DIR}/tests/platform)
  add_executable(veskar_platform_gl_tests
    ${VESKAR_GL_TEST_DIR}/GlDeviceTest.cpp
    ${VESKAR_GL_TEST_DIR}/GlEffectTest.cpp
    ${VESKAR_GL_TEST_DIR}/GlFrameTest.cpp
    ${VESKAR_GL_TEST_DIR}/GlLeakSuppressions.cpp
    ${VESKAR_GL_TEST_DIR}/TextDrawerTest.cpp
  )
  target_include_directories(veskar_platform_gl_tests PRIVATE ${VESKAR_GL_TEST_DIR})
  target_link_libraries(veskar_platform_gl_tests PRIVATE veskar_platform_gl PkgConfig::VESKAR_EPOXY GTest::gtest_main)
  # The effect tests read Shaders/Phong.fx from the working directory, as the program does.
  add_test(NAME veskar_platform_gl_tests COMMAND veskar_platform_gl_tests WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
endif()
