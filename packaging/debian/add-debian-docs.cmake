# Run by CPack once the files are staged: what only the Debian package carries, the Debian
# changelog and the lintian overrides (a plain install has no use for them).
set(usr "${CPACK_TEMPORARY_DIRECTORY}/usr")
if(NOT IS_DIRECTORY "${usr}/share/doc/${CPACK_PACKAGE_NAME}")
  message(FATAL_ERROR "no usr/share/doc/${CPACK_PACKAGE_NAME} in ${CPACK_TEMPORARY_DIRECTORY}")
endif()
set(mode FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(COPY "${CPACK_LW52_DEB_CHANGELOG}" DESTINATION "${usr}/share/doc/${CPACK_PACKAGE_NAME}" ${mode})
file(MAKE_DIRECTORY "${usr}/share/lintian/overrides")
file(COPY_FILE "${CPACK_LW52_LINTIAN_OVERRIDES}" "${usr}/share/lintian/overrides/${CPACK_PACKAGE_NAME}")
