# The hosts the application's message loop runs on: the headless one over EGL
# and the Qt window. Paths are relative to src/, which includes this file.

add_library(veskar_platform_host STATIC
  ${CMAKE_CURRENT_LIST_DIR}/../Host.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../HeadlessHost.cpp
)
target_link_libraries(veskar_platform_host
  PUBLIC veskar_platform_gl
  PRIVATE PkgConfig::VESKAR_EPOXY
)

find_package(Qt6 REQUIRED COMPONENTS Widgets Gui OpenGL)
add_library(veskar_platform_qt STATIC
  ${CMAKE_CURRENT_LIST_DIR}/QtHost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtSettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtShell.cpp
)
target_link_libraries(veskar_platform_qt PUBLIC veskar_platform_host Qt6::Widgets Qt6::Gui)

if(VESKAR_BUILD_TESTS)
  find_package(GTest REQUIRED)
  enable_testing()
  add_executable(veskar_platform_host_tests ${PROJECT_SOURCE_DIR}/tests/platform/QtHostTest.cpp)
  target_include_directories(veskar_platform_host_tests PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(veskar_platform_host_tests PRIVATE veskar_platform_qt GTest::gtest)
  # The test starts an Xvfb of its own when it can, so it runs beside the
  # other tests and never on a developer's desktop.
  add_test(NAME veskar_platform_host_tests COMMAND veskar_platform_host_tests WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
endif()
