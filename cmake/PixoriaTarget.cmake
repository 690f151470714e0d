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

include("${CMAKE_CURRENT_LIST_DIR}/PixoriaLayers.cmake")

# pixoria_add_library(pixoria_<folder> SOURCES ... LIBS ...): one static library per folder of
# src/. It may link the libraries of lower layers only (cmake/PixoriaLayers.cmake).
function(pixoria_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  string(REGEX REPLACE "^pixoria_" "" folder "${name}")
  foreach(lib IN LISTS ARG_LIBS)
    if(lib MATCHES "^pixoria_(.+)$")
      pixoria_check_layer_use(${folder} ${CMAKE_MATCH_1} "${name} links ${lib}")
    endif()
  endforeach()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  pixoria_setup_target(${name})
endfunction()
