# Run by CPack on the staged files of the Debian package, before they are packed:
# - the programs lose the compiler's .comment and .note sections, which CPack's plain strip
#   leaves in (dh_strip removes them the same way);
# - the license text is the copyright file's Expat section, so the separate LICENSE that
#   `cmake --install` puts beside it is not packed twice.
set(stage ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
file(GLOB programs ${stage}/bin/*)
if(NOT programs)
  message(FATAL_ERROR "no programs staged under ${stage}/bin")
endif()
foreach(program IN LISTS programs)
  execute_process(COMMAND ${CPACK_KELVANE_STRIP} --remove-section=.comment --remove-section=.note ${program}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(GLOB license ${stage}/share/doc/*/LICENSE)
file(REMOVE ${license})
