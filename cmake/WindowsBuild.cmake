# What a Windows build needs beyond the toolchain file: the Unicode Win32 API,
# the header-only libraries of the build machine, and googletest built from
# its sources (Debian ships it for Linux only).

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
  # stb opens files by UTF-8 name through _wfopen.
  STBI_WINDOWS_UTF8 STBIW_WINDOWS_UTF8)

# Header-only libraries come from the Debian packages. Only their own folders
# are put on the include path, never /usr/include, whose other headers are
# Linux's.
set(VESKAR_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${VESKAR_HOST_HEADERS})
foreach(entry stb tiny_gltf.h nlohmann)
  if(EXISTS /usr/include/${entry} AND NOT EXISTS ${VESKAR_HOST_HEADERS}/${entry})
    file(CREATE_LINK /usr/include/${entry} ${VESKAR_HOST_HEADERS}/${entry} SYMBOLIC)
  endif()
endforeach()
include_directories(SYSTEM ${VESKAR_HOST_HEADERS})
set(VESKAR_STB_INCLUDE_DIR ${VESKAR_HOST_HEADERS} CACHE PATH "Folder holding stb/stb_image.h")
set(VESKAR_TINYGLTF_INCLUDE_DIR ${VESKAR_HOST_HEADERS} CACHE PATH "Folder holding tiny_gltf.h")
set(VESKAR_NLOHMANN_JSON_INCLUDE_DIR ${VESKAR_HOST_HEADERS} CACHE PATH "Folder holding nlohmann/json.hpp")

# Tests run the programs through Wine, in a prefix under the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR bash ${PROJECT_SOURCE_DIR}/tests/windows/wine_run.sh ${CMAKE_BINARY_DIR}/wine)

if(VESKAR_BUILD_TESTS)
  # The sources under /usr/src/googletest (libgtest-dev), built with the
  # cross compiler; find_package(GTest) then finds these targets.
  include(FetchContent)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  FetchContent_Declare(GTest SOURCE_DIR /usr/src/googletest OVERRIDE_FIND_PACKAGE)
  FetchContent_MakeAvailable(GTest)
endif()
