# Runs while installing: writes the desktop entry for the folder being installed to.
# In: CMAKE_INSTALL_PREFIX, TW_DESKTOP_TEMPLATE, TW_DESKTOP_STAGE.

get_filename_component(tw_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
if(tw_prefix MATCHES "[\n\r]")
  message(FATAL_ERROR "A desktop entry cannot name a folder with a line break: ${tw_prefix}")
endif()

# A plain text value: only the backslash needs escaping.
function(tw_desktop_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The program as the one word of an Exec line: quoted, with the characters that are special
# inside quotes escaped, then escaped again as a text value; a percent sign is doubled.
function(tw_desktop_exec out program)
  foreach(special "\\" "\"" "`" "$")
    string(REPLACE "${special}" "\\${special}" program "${program}")
  endforeach()
  tw_desktop_string(program "\"${program}\"")
  string(REPLACE "%" "%%" program "${program}")
  set(${out} "${program}" PARENT_SCOPE)
endfunction()

tw_desktop_exec(TW_DESKTOP_EXEC "${tw_prefix}/tallyweave")
tw_desktop_string(TW_DESKTOP_PATH "${tw_prefix}")
tw_desktop_string(TW_DESKTOP_ICON "${tw_prefix}/tallyweave.png")

# Staged apart for each destination, so that installs into several folders at once do not
# trade entries.
string(MD5 tw_stage "$ENV{DESTDIR}${tw_prefix}")
set(tw_stage "${TW_DESKTOP_STAGE}/${tw_stage}")
configure_file("${TW_DESKTOP_TEMPLATE}" "${tw_stage}/tallyweave.desktop" @ONLY)
file(INSTALL DESTINATION "${tw_prefix}" TYPE FILE
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
     FILES "${tw_stage}/tallyweave.desktop")
file(REMOVE_RECURSE "${tw_stage}")
