# Text files built into a program: veskar_embed_text(TARGET HEADER h FILES...)
# generates HEADER (a path below the build folder's "embedded" directory, on
# TARGET's include path) holding each file's text as
#   inline constexpr const char k<FileStem>[] = R"...";
# in namespace veskar::embedded. The header is made again whenever a file
# changes. The same file is the generator, run as a script at build time.

if(CMAKE_SCRIPT_MODE_FILE)
  # cmake -DOUTPUT=... -DINPUTS=a;b -P EmbedText.cmake
  set(text "// Made by cmake/EmbedText.cmake from the files named below; edit those.\n#pragma once\n\nnamespace veskar::embedded {\n")
  foreach(input IN LISTS INPUTS)
    get_filename_component(stem "${input}" NAME_WE)
    file(READ "${input}" body)
    string(FIND "${body}" ")text\"" clash)
    if(NOT clash EQUAL -1)
      message(FATAL_ERROR "${input} holds the raw string's end marker )text\"")
    endif()
    get_filename_component(name "${input}" NAME)
    string(APPEND text "\n// ${name}\ninline constexpr const char k${stem}[] = R\"text(${body})text\";\n")
  endforeach()
  string(APPEND text "\n} // namespace veskar::embedded\n")
  file(WRITE "${OUTPUT}" "${text}")
  return()
endif()

set(VESKAR_EMBED_TEXT_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(veskar_embed_text target)
  cmake_parse_arguments(ARG "" "HEADER" "FILES" ${ARGN})
  set(root ${CMAKE_CURRENT_BINARY_DIR}/embedded)
  set(output ${root}/${ARG_HEADER})
  set(inputs)
  foreach(file IN LISTS ARG_FILES)
    get_filename_component(file "${file}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND inputs "${file}")
  endforeach()
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${output} "-DINPUTS=${inputs}" -P ${VESKAR_EMBED_TEXT_SCRIPT}
    DEPENDS ${inputs} ${VESKAR_EMBED_TEXT_SCRIPT}
    COMMENT "Embedding ${ARG_HEADER}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
  target_include_directories(${target} PRIVATE ${root})
endfunction()
