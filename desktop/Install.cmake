# Desktop integration, included by shell/CMakeLists.txt: the program, its
# standard icon file, a desktop entry, the program icon and a MIME type for
# every card image and save data image extension, so that a double-click on
# such a file opens it in the Left slot. (slotkeeper-cli installs itself from
# cli/.)
set(SLK_DESKTOP_DIR "${PROJECT_SOURCE_DIR}/desktop")

install(TARGETS slotkeeper2 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The program finds it there (SLOTKEEPER_DATA_DIR) when it is not beside it.
if(EXISTS "${PROJECT_SOURCE_DIR}/psicon/standard.ico")
  install(FILES "${PROJECT_SOURCE_DIR}/psicon/standard.ico"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/slotkeeper2/psicon")
endif()

install(FILES "${SLK_DESKTOP_DIR}/slotkeeper2.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${SLK_DESKTOP_DIR}/slotkeeper2-mime.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages" RENAME slotkeeper2.xml)
foreach(size 32 64)
  set(icon "${PROJECT_SOURCE_DIR}/resources/icons/slotkeeper2-${size}.png")
  if(EXISTS "${icon}")
    install(FILES "${icon}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            RENAME slotkeeper2.png)
  endif()
endforeach()

# Refresh the desktop's caches when installing for real (not into a staging
# DESTDIR, where packaging does it).
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    find_program(SLK_UPDATE_MIME update-mime-database)
    find_program(SLK_UPDATE_DESKTOP update-desktop-database)
    if(SLK_UPDATE_MIME)
      execute_process(COMMAND "${SLK_UPDATE_MIME}" "${CMAKE_INSTALL_PREFIX}/share/mime"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(SLK_UPDATE_DESKTOP)
      execute_process(COMMAND "${SLK_UPDATE_DESKTOP}" "${CMAKE_INSTALL_PREFIX}/share/applications"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
]])
