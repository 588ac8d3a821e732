# Run at install time (the prefix is known then): writes the menu entry and the man page with
# the installed paths in them, and installs them.
set(KLOMP_LAUNCHER "${CMAKE_INSTALL_PREFIX}/games/klomp")
set(KLOMP_PROGRAM "${CMAKE_INSTALL_PREFIX}/lib/games/klomp/klomp")
set(KLOMP_DATA_DIR "${CMAKE_INSTALL_PREFIX}/share/games/klomp")
set(generated "${KLOMP_RELEASE_BINARY}/generated")
configure_file("${KLOMP_RELEASE_SOURCE}/klomp.desktop.in" "${generated}/klomp.desktop" @ONLY)
configure_file("${KLOMP_RELEASE_SOURCE}/klomp.6" "${generated}/klomp.6" @ONLY)
execute_process(COMMAND gzip -9n -c "${generated}/klomp.6" OUTPUT_FILE "${generated}/klomp.6.gz"
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on the man page")
endif()
file(INSTALL "${generated}/klomp.desktop" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(INSTALL "${generated}/klomp.6.gz" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/man/man6"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
