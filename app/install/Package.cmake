# A Debian package of the installed tree: `cpack -G DEB` in the build folder. Its dependencies
# are read from the shared libraries the programs link (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallyweave)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Tallyweave maintainers <maintainers@users.noreply.c-seed-4971c82d.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check that link-exchange partners still carry your link")
# The synopsis is the summary above; this is the extended description below it.
set(CPACK_PACKAGE_DESCRIPTION "Tallyweave keeps a list of link-exchange partners (a name, one page on their
site and a search term such as your own address), downloads each page and
searches its source for the term, and shows one result line per partner.
.
tallyweave-check gives the same verdicts from a terminal or a scheduled job,
many pages at a time, as text, JSON or CSV, and with chromium installed it can
also look at pages as a browser shows them once their scripts have run.")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# tallyweave-check --render looks at pages in a headless Chromium; without it everything else
# works, so the browser is recommended rather than required.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS chromium)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian wants the manual pages and the changelog compressed, and a copyright file.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianDocs.cmake)
set(CPACK_TALLYWEAVE_DEBIAN_FILES ${CMAKE_CURRENT_LIST_DIR})
include(CPack)
