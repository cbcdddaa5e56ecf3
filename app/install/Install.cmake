# The standard tree under the prefix: the program on the PATH, its menu entry and icon where
# desktops look for them, the help page with the documentation. The program finds its help
# page from its own folder, and keeps its sites file in the user's data folder when its own
# folder cannot take it.
install(TARGETS tallyweave RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tallyweave.htm ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${TALLYWEAVE_INSTALL_DOCDIR})
install(FILES install/tallyweave.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES install/tallyweave.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

foreach(size 16 32 48 64 128 256)
  install(FILES art/icon${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tallyweave.png)
endforeach()
install(FILES art/icon.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME tallyweave.svg)
