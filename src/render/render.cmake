# The render layer: graphics context and camera, effect binding, the skinning
# and blending jobs, and the drawing of both model kinds.

add_library(veskar_render STATIC
  render/CameraMoves.cpp
  render/EffectBinding.cpp
  render/EngineModelDrawing.cpp
  render/GraphicsContext.cpp
  render/Light.cpp
  render/ModelBounds.cpp
  render/Playback.cpp
  render/RootMotion.cpp
  render/SkeletonLines.cpp
  render/SkinningJobs.cpp
  render/SmdModelDrawing.cpp
  render/ViewCamera.cpp
)
target_include_directories(veskar_render PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(veskar_render PUBLIC veskar_formats veskar_platform_gl)

if(VESKAR_BUILD_TESTS)
  find_package(GTest REQUIRED)
  # This file is read before the top level turns testing on.
  enable_testing()
  set(VESKAR_RENDER_TEST_DIR ${PROJECT_SOURCE_DIR}/tests/render)

  function(veskar_render_test name)
    add_executable(${name} ${ARGN} ${VESKAR_RENDER_TEST_DIR}/LeakSuppressions.cpp)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src ${VESKAR_RENDER_TEST_DIR})
    target_compile_definitions(${name} PRIVATE
      VESKAR_CORPUS_DIR="${PROJECT_SOURCE_DIR}/../shared/corpus"
      VESKAR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name} PRIVATE veskar_render GTest::gtest_main)
    # Run from the source folder so Shaders/Phong.fx is found as the program finds it.
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  endfunction()

  # Everything that runs on the in-memory device.
  veskar_render_test(render_tests
    ${VESKAR_RENDER_TEST_DIR}/CameraTest.cpp
    ${VESKAR_RENDER_TEST_DIR}/GraphicsContextTest.cpp
    ${VESKAR_RENDER_TEST_DIR}/SkinningJobsTest.cpp
    ${VESKAR_RENDER_TEST_DIR}/EngineModelDrawingTest.cpp
    ${VESKAR_RENDER_TEST_DIR}/SmdModelDrawingTest.cpp
  )
  # Pixels through the headless GL context; skipped where EGL is missing.
  veskar_render_test(render_gl_tests ${VESKAR_RENDER_TEST_DIR}/RenderPixelTest.cpp)
endif()
