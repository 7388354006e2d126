cmake_minimum_required(VERSION 3.25)
# cmake -DSOURCE_DIR=<the project> -P CheckLayers.cmake
# Dependencies point downwards only: each folder of src/ includes from
# itself and from the layers it stands on, never from one above it. The
# build runs this check and stops at the first include that breaks the rule.

# layer: the layers it may include from, itself first
set(platform platform)
set(objects objects)
set(gdi gdi platform)
set(framework framework gdi objects platform)
set(vst vst platform)
set(plugin plugin vst platform)
set(dib dib framework gdi objects platform)
set(controls controls dib framework gdi objects platform)
set(editor editor controls dib framework gdi objects plugin vst platform)
set(module module editor controls dib framework gdi objects plugin vst platform)
set(lv2 lv2 module editor controls dib framework gdi objects plugin vst platform)
set(layers platform objects gdi framework vst plugin dib controls editor module lv2)

set(broken "")
foreach(layer IN LISTS layers)
  file(GLOB_RECURSE files "${SOURCE_DIR}/src/${layer}/*.h" "${SOURCE_DIR}/src/${layer}/*.cpp")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^#include \"[a-z0-9_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z0-9_]+)/.*" "\\1" target "${line}")
      if(target IN_LIST layers AND NOT target IN_LIST ${layer})
        file(RELATIVE_PATH where "${SOURCE_DIR}" "${file}")
        string(APPEND broken "\n  ${where}: ${line} (${layer} stands on: ${${layer}})")
      endif()
    endforeach()
  endforeach()
endforeach()
if(broken)
  message(FATAL_ERROR "An include points upwards:${broken}")
endif()
