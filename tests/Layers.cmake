# Checks every #include of the tree against the layers: each folder includes only
# itself and the folders below it, Qt only in the window, the libav* headers only in
# the modules loaded on demand. Run as
#   cmake -DROOT=<source tree> -DFOLDERS=common,geometry,... -P Layers.cmake

cmake_policy(VERSION 3.25)

# folder: the project folders it may include besides its own
set(layers
  "common:"
  "geometry:common"
  "budget:common"
  "source:geometry common"
  "script:geometry common"
  "settings:geometry budget common"
  "preview:common"
  "disc:budget geometry common"
  "app:common geometry budget source script settings preview disc"
  "tests/support:common geometry budget source script settings preview disc"
  "bench:common geometry budget source script settings preview disc app tests/support")
set(qt_files "^(app/qt|bench)/")
set(libav_files source/AvProbe.cpp preview/FrameDecoder.cpp
  common/AvInput.h)

set(errors "")
set(ruled "")
foreach(layer IN LISTS layers)
  string(REGEX MATCH "^[^:]*" folder "${layer}")
  string(REGEX REPLACE "^[^:]*:" "" below "${layer}")
  separate_arguments(below)
  list(APPEND ruled ${folder})
  file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${ROOT}/${file} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*" "" name "${line}")
      if(name MATCHES "^\"(tests/support|[^/\"]+)/")
        set(target ${CMAKE_MATCH_1})
        if(NOT target STREQUAL folder AND NOT target IN_LIST below)
          string(APPEND errors "${file}: ${folder}/ may not include ${name}\n")
        endif()
      endif()
      if(name MATCHES "^<Q" AND NOT file MATCHES "${qt_files}")
        string(APPEND errors "${file}: Qt only in the window, not ${name}\n")
      endif()
      if(name MATCHES "^<libav|^<libsw|common/AvInput.h" AND NOT file IN_LIST libav_files)
        string(APPEND errors "${file}: libav* only in the modules, not ${name}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

# A new library folder needs its place in the layers.
string(REPLACE "," ";" FOLDERS "${FOLDERS}")
foreach(folder IN LISTS FOLDERS)
  if(NOT folder IN_LIST ruled)
    string(APPEND errors "${folder}/ has no place in the layers\n")
  endif()
endforeach()

if(errors)
  message(FATAL_ERROR "Includes across the layers:\n${errors}")
endif()
