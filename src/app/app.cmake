# The viewer application and its entry point. Paths are relative to src/.
add_library(veskar_app STATIC
  app/Application.cpp
  app/AxisGrid.cpp
  app/MenuCommands.cpp
  app/MenuTable.cpp
  app/Overlay.cpp
  app/RecentFiles.cpp
  app/RootMarkers.cpp
  app/Scene.cpp
  app/Screenshot.cpp
  app/WindowProcedure.cpp
)
target_link_libraries(veskar_app PUBLIC veskar_render veskar_platform_host)

add_executable(veskar cli/ViewerMain.cpp)
target_link_libraries(veskar PRIVATE veskar_app veskar_platform_qt)
