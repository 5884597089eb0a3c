# Fails when a source outside a ui/ folder (or its tests) includes a Qt header.
file(GLOB_RECURSE sources
     ${SRC}/platform/*.h ${SRC}/platform/*.cpp
     ${SRC}/acquisition/*.h ${SRC}/acquisition/*.cpp
     ${SRC}/position/*.h ${SRC}/position/*.cpp
     ${SRC}/libs/drovanta/*.h ${SRC}/libs/drovanta/*.cpp
     ${SRC}/libs/tessmark/*.h ${SRC}/libs/tessmark/*.cpp
     ${SRC}/libs/faldrena/*.h ${SRC}/libs/faldrena/*.cpp
     ${SRC}/app/*.h ${SRC}/app/*.cpp
     ${SRC}/display/*.h ${SRC}/display/*.cpp
     ${SRC}/navigation/*.h ${SRC}/navigation/*.cpp
     ${SRC}/targets/*.h ${SRC}/targets/*.cpp
     ${SRC}/mosaic/*.h ${SRC}/mosaic/*.cpp)
set(bad "")
foreach(f IN LISTS sources)
  if(f MATCHES "/ui/")
    continue()
  endif()
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]Q[A-Za-z]")
  if(lines)
    list(APPEND bad ${f})
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "Qt included outside a ui/ folder: ${bad}")
endif()
