# SPDX-License-Identifier: LicenseRef-proprietary
# The Debian package. What a Debian system keeps beside the program: its manual page, its copyright and its
# changelog, the last two in the Debian formats. Compressed as Debian wants them: gzip -9
# without a name or a time stamp, so the same source gives the same bytes.
find_program(ORVANE_GZIP gzip REQUIRED)

function(orvane_gzipped source)
    cmake_path(GET source FILENAME name)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${name}
        COMMAND ${ORVANE_GZIP} -9nf ${name}
        DEPENDS ${source}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        VERBATIM)
    set(ORVANE_GZIPPED ${ORVANE_GZIPPED} ${output} PARENT_SCOPE)
endfunction()

orvane_gzipped(orvane.1)
orvane_gzipped(changelog)
add_custom_target(orvane_documents ALL DEPENDS ${ORVANE_GZIPPED})

list(GET ORVANE_GZIPPED 0 manual)
list(GET ORVANE_GZIPPED 1 changelog)
install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Pellium Corporation <orvane@pellium.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
