# The installed folder is flat: the program, its help page, its icon and its desktop entry side
# by side. The program keeps its sites file beside itself, so the folder works wherever it is
# put; only the desktop entry has to name the folder, because its Exec cannot be relative.
install(TARGETS tallyweave RUNTIME DESTINATION .)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tallyweave.htm DESTINATION .)

install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/art/icon48.png DESTINATION . RENAME tallyweave.png)

# The entry is written when installing, with the prefix of that install.
install(CODE "
  set(TW_DESKTOP_TEMPLATE \"${CMAKE_CURRENT_SOURCE_DIR}/install/tallyweave.desktop.in\")
  set(TW_DESKTOP_STAGE \"${CMAKE_CURRENT_BINARY_DIR}/install-stage\")
  include(\"${CMAKE_CURRENT_SOURCE_DIR}/install/WriteDesktopEntry.cmake\")
")
