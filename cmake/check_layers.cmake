# Fails when a folder of src/app includes a header from a folder above it. The folders, lowest
# first: each may include the ones before it. Run with -DAPP_DIR=<src/app>.
cmake_minimum_required(VERSION 3.16)

set(layers shell link state events unit connection setup files history changes schedule service wiring)

# The upward includes still there, each as "from>to", until the code is reshaped for them; any
# other upward include fails the build.
set(known_upward
  # Undoing a setup step runs what the setup controls' own callbacks do.
  "state>setup"
)

set(failures "")
list(LENGTH layers layer_count)
foreach(rank RANGE 0 ${layer_count})
  if(rank EQUAL layer_count)
    break()
  endif()
  list(GET layers ${rank} folder)
  file(GLOB sources "${APP_DIR}/${folder}/*.h" "${APP_DIR}/${folder}/*.cpp" "${APP_DIR}/${folder}/*.in")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"app/[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"app/([a-z_]+)/.*" "\\1" target "${line}")
      list(FIND layers "${target}" target_rank)
      if(target_rank EQUAL -1)
        list(APPEND failures "${source}: ${line}: app/${target} is no layer")
      elseif(target_rank GREATER rank AND NOT "${folder}>${target}" IN_LIST known_upward)
        list(APPEND failures "${source}: ${line}: ${folder} may not include ${target}, above it")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "Includes that run upward between the folders of src/app:\n${text}")
endif()
