# Installs the build into a temporary prefix and runs the installed program
# (offscreen, --quit-after) as a user whose home is also temporary: it starts
# from the installed program folder, finds Drovanta, the palettes and the
# limits files there, writes only under ~/.config/Kestrova, and a .desktop file
# and an icon are in place. Arguments: -DBUILD=<build dir> -DWORK=<scratch dir>
set(prefix "${WORK}/prefix")
set(home "${WORK}/home")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${home}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${prefix}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/kestrova bin/kestrova-cli lib/kestrova/libdrovanta.so lib/kestrova/jet.clr
          lib/kestrova/QM-302.ini share/applications/kestrova.desktop
          share/icons/hicolor/scalable/apps/kestrova.svg)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(READ "${prefix}/share/applications/kestrova.desktop" desktop)
if(NOT desktop MATCHES "Exec=${prefix}/bin/kestrova\n")
  message(FATAL_ERROR "the .desktop file does not start the installed program:\n${desktop}")
endif()

# Run from another folder, as a desktop launcher does.
execute_process(COMMAND env -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR HOME=${home}
                        QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=
                        "${prefix}/bin/kestrova" --quit-after 2 --grab "${WORK}/window.png"
                WORKING_DIRECTORY "${WORK}" TIMEOUT 60
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the installed kestrova ended with ${rc}:\n${out}\n${err}")
endif()
if(NOT EXISTS "${WORK}/window.png")
  message(FATAL_ERROR "no picture of the installed program's window")
endif()
if(NOT IS_DIRECTORY "${home}/.config/Kestrova")
  message(FATAL_ERROR "the program did not make its settings folder ~/.config/Kestrova")
endif()
file(GLOB written "${prefix}/lib/kestrova/*.lock" "${prefix}/lib/kestrova/Kestrova.ini"
     "${prefix}/lib/kestrova/PolyvoxSet.lang")
if(written)
  message(FATAL_ERROR "the program wrote into its installed folder: ${written}")
endif()
execute_process(COMMAND "${prefix}/bin/kestrova-cli" help RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the installed kestrova-cli does not run: ${rc}")
endif()
file(REMOVE_RECURSE "${WORK}")
