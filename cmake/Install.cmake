# `cmake --install BUILD --prefix P` lays the program out as a desktop program:
#   P/lib/kestrova/   the program folder: programs, libraries, palettes, limits files
#                     (read-only; the program finds them beside its executable)
#   P/bin/            kestrova, kestrova-cli and Filvert as links into it
#   P/share/applications/kestrova.desktop, P/share/icons/hicolor/scalable/apps/kestrova.svg
# What the program writes goes to ~/.config/Kestrova, never under P.
set(KESTROVA_INSTALL_PROGRAM_DIR lib/kestrova)
install(DIRECTORY ${KESTROVA_BIN_DIR}/ DESTINATION ${KESTROVA_INSTALL_PROGRAM_DIR}
        USE_SOURCE_PERMISSIONS
        PATTERN "*.lock" EXCLUDE
        PATTERN "SysCfg.ini" EXCLUDE
        PATTERN "Kestrova.ini" EXCLUDE
        PATTERN "PolyvoxSet.lang" EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/kestrova.svg
        DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/kestrova.svg
        DESTINATION ${KESTROVA_INSTALL_PROGRAM_DIR})
install(CODE [[
  set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  file(MAKE_DIRECTORY "${root}/bin" "${root}/share/applications")
  foreach(program kestrova kestrova-cli Filvert)
    if(EXISTS "${root}/lib/kestrova/${program}")
      file(REMOVE "${root}/bin/${program}")
      file(CREATE_LINK "../lib/kestrova/${program}" "${root}/bin/${program}" SYMBOLIC)
    endif()
  endforeach()
  file(WRITE "${root}/share/applications/kestrova.desktop"
"[Desktop Entry]
Type=Application
Name=Kestrova
GenericName=Side-scan sonar survey
GenericName[zh_CN]=侧扫声纳测量
Comment=Acquire, record and play back towed side-scan sonar surveys
Exec=${CMAKE_INSTALL_PREFIX}/bin/kestrova
TryExec=${CMAKE_INSTALL_PREFIX}/bin/kestrova
Icon=kestrova
Terminal=false
Categories=Science;Geoscience;Qt;
")
]])
