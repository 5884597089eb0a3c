# Fails when a module includes a header of a module above it. The allowed order,
# lowest first; a file may include its own layer and those below it. ui/ folders
# and the tools sit on top with the window. Tests, benchmarks and fuzz targets
# may reach any layer and are not checked.
set(layers
    "platform|^platform/"
    "libraries|^libs/"
    "settings model|^app/config/"
    "acquisition|^acquisition/"
    "position|^position/"
    "display|^display/"
    "navigation|^navigation/"
    "targets|^targets/"
    "mosaic|^mosaic/"
    "application|^app/"
    "session|^app/session/"
    "window and tools|/ui/|^tools/|^controls/|^resources/")

# Layer index of a path relative to the source root; -1 when outside every layer.
function(layer_of path out)
  set(found -1)
  if(path MATCHES "/ui/" OR path MATCHES "^(tools|controls|resources)/")
    list(LENGTH layers n)
    math(EXPR found "${n} - 1")
  elseif(path MATCHES "^app/config/")
    set(found 2)
  elseif(path MATCHES "^app/session/")
    set(found 10)
  else()
    set(i 0)
    foreach(entry IN LISTS layers)
      string(REPLACE "|" ";" parts "${entry}")
      list(GET parts 1 pattern)
      if(path MATCHES "${pattern}")
        set(found ${i})
        break()
      endif()
      math(EXPR i "${i} + 1")
    endforeach()
  endif()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE ${SRC}
     ${SRC}/platform/*.h ${SRC}/platform/*.cpp ${SRC}/libs/*.h ${SRC}/libs/*.cpp
     ${SRC}/app/*.h ${SRC}/app/*.cpp ${SRC}/acquisition/*.h ${SRC}/acquisition/*.cpp
     ${SRC}/position/*.h ${SRC}/position/*.cpp ${SRC}/display/*.h ${SRC}/display/*.cpp
     ${SRC}/navigation/*.h ${SRC}/navigation/*.cpp ${SRC}/targets/*.h ${SRC}/targets/*.cpp
     ${SRC}/mosaic/*.h ${SRC}/mosaic/*.cpp
     ${SRC}/controls/*.h ${SRC}/controls/*.cpp ${SRC}/tools/*.h ${SRC}/tools/*.cpp)
set(bad "")
foreach(f IN LISTS sources)
  if(f MATCHES "(^|/)tests/")
    continue()
  endif()
  layer_of("${f}" own)
  file(STRINGS ${SRC}/${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" inc "${line}")
    if(NOT inc MATCHES "/" OR NOT EXISTS ${SRC}/${inc})
      continue()
    endif()
    layer_of("${inc}" theirs)
    if(theirs GREATER own)
      list(GET layers ${own} a)
      list(GET layers ${theirs} b)
      string(REGEX REPLACE "\\|.*" "" a "${a}")
      string(REGEX REPLACE "\\|.*" "" b "${b}")
      list(APPEND bad "${f} (${a}) includes ${inc} (${b})")
    endif()
  endforeach()
endforeach()
if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "Upward includes:\n  ${text}")
endif()
