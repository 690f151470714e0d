# Common compile settings for every target of the project.
function(pixoria_setup_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(PIXORIA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(PIXORIA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# pixoria_add_library(name SOURCES ... LIBS ...): one static library per folder.
function(pixoria_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  pixoria_setup_target(${name})
endfunction()
