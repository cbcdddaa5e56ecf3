# Runs inside CPack on the staged tree, before the package is made: what Debian's policy asks
# of a package beyond the install tree. The manual pages and the changelog are compressed
# with gzip -9n (no name or time stamp, so the package is reproducible), and the programs,
# already stripped, lose the compiler's notes as Debian's own strip step removes them.
set(tw_root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(tw_doc "${tw_root}/share/doc/${CPACK_PACKAGE_NAME}")
if(NOT IS_DIRECTORY "${tw_doc}")
  message(FATAL_ERROR "No staged documentation in ${tw_doc}")
endif()

file(COPY "${CPACK_TALLYWEAVE_DEBIAN_FILES}/copyright" DESTINATION "${tw_doc}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
configure_file("${CPACK_TALLYWEAVE_DEBIAN_FILES}/changelog.in" "${tw_doc}/changelog" @ONLY)

file(GLOB tw_manuals "${tw_root}/share/man/man1/*.1")
foreach(tw_file IN LISTS tw_manuals ITEMS "${tw_doc}/changelog")
  execute_process(COMMAND gzip -9nf "${tw_file}" RESULT_VARIABLE tw_failed)
  if(tw_failed)
    message(FATAL_ERROR "gzip failed on ${tw_file}")
  endif()
endforeach()

file(GLOB tw_programs "${tw_root}/bin/*")
foreach(tw_program IN LISTS tw_programs)
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note "${tw_program}"
                  RESULT_VARIABLE tw_failed)
  if(tw_failed)
    message(FATAL_ERROR "strip failed on ${tw_program}")
  endif()
endforeach()
