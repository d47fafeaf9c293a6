# `cmake --install`: the program folder under <prefix>/lib/ks_read (executables and content),
# a launcher <prefix>/bin/ks_read that gives each user a writable program folder of their own,
# and a desktop entry with its icon so the program starts from the desktop menu.
if(NOT DEFINED KS_INSTALL_PROGRAM_DIR)
  set(KS_INSTALL_PROGRAM_DIR lib/ks_read)
endif()
# The modules go beside the program: the run-time loads them from its own folder only.
get_property(ks_modules GLOBAL PROPERTY KS_MODULE_TARGETS)
install(TARGETS ks_read ks_tester_sim ks_langtool ks_uiview ks_history ${ks_modules}
        RUNTIME DESTINATION ${KS_INSTALL_PROGRAM_DIR}
        LIBRARY DESTINATION ${KS_INSTALL_PROGRAM_DIR})

install(CODE "
  set(launcher \"\${CMAKE_INSTALL_PREFIX}/bin/ks_read\")
  file(READ \"${CMAKE_SOURCE_DIR}/scripts/ks_read-launcher\" text)
  string(REPLACE \"@KS_INSTALLED_PROGRAM_DIR@\" \"\${CMAKE_INSTALL_PREFIX}/${KS_INSTALL_PROGRAM_DIR}\" text \"\${text}\")
  file(MAKE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}/bin\")
  file(WRITE \"\${launcher}\" \"\${text}\")
  file(CHMOD \"\${launcher}\" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
       GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  message(STATUS \"Installing: \${launcher}\")
")
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/ks_read.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/ks_read.png
        DESTINATION share/icons/hicolor/128x128/apps)
