# The layers of src/, bottom to top: a folder may use the folders of lower layers only, never one
# of its own layer or above. Both the link check of pixoria_add_library and the include check
# (cmake/CheckLayers.cmake, run by CTest as "layers") read this one table. The reusable widgets
# (ui) and the Save As dialogs (export) lie below the subsystems that open them: the operation
# engine saves through the Save As dialog, and the copy and move destination is chosen with the
# folder choosers.
#
#   platform, imagelib  ->  core, settings  ->  ui, export  ->  fileops, security  ->  browser,
#   viewer  ->  app  ->  main
set(PIXORIA_LAYERS
  "platform imagelib"
  "core settings"
  "ui export"
  "fileops security"
  "browser viewer"
  "app"
  "main")

# pixoria_layer_of(folder out): the rank of a folder of src/ in out; -1 for one not in the table.
function(pixoria_layer_of folder out)
  set(rank 0)
  foreach(layer IN LISTS PIXORIA_LAYERS)
    string(REPLACE " " ";" folders "${layer}")
    if(folder IN_LIST folders)
      set(${out} ${rank} PARENT_SCOPE)
      return()
    endif()
    math(EXPR rank "${rank} + 1")
  endforeach()
  set(${out} -1 PARENT_SCOPE)
endfunction()

# pixoria_check_layer_use(user used what): a fatal error when folder `user` may not use folder
# `used`; `what` names the offending link or include in the message.
function(pixoria_check_layer_use user used what)
  if(user STREQUAL used)
    return()
  endif()
  pixoria_layer_of(${user} user_rank)
  pixoria_layer_of(${used} used_rank)
  if(user_rank EQUAL -1 OR used_rank EQUAL -1)
    message(FATAL_ERROR "${what}: ${user} or ${used} is not in PIXORIA_LAYERS (cmake/PixoriaLayers.cmake)")
  endif()
  if(NOT used_rank LESS user_rank)
    message(FATAL_ERROR "${what}: ${user} may only use lower layers, and ${used} is not below it")
  endif()
endfunction()
