# SPDX-License-Identifier: LicenseRef-proprietary
# For Windows: the portable zip orvane-VERSION-windows-x64.zip (orvane.exe, LICENSE.txt and
# README.txt) and the installer orvane-VERSION-windows-x64-setup.exe, which installs the
# same files for every user into Program Files with a Start-menu entry and an entry in
# Add/Remove Programs. Windows users read text files with CRLF line ends.
foreach(text LICENSE:${PROJECT_SOURCE_DIR}/LICENSE README:${CMAKE_CURRENT_SOURCE_DIR}/README_win.txt.in)
    string(REPLACE ":" ";" text "${text}")
    list(GET text 0 name)
    list(GET text 1 source)
    file(READ ${source} content)
    string(CONFIGURE "${content}" content @ONLY)
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}.txt "${content}")
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.txt DESTINATION .)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endforeach()

set(CPACK_GENERATOR ZIP NSIS)
# The exe is stripped when linked; stripping it again for each package would stamp each copy
# with its own time, and the zip's exe would no longer be the installer's.
set(CPACK_STRIP_FILES OFF)
set(CPACK_PACKAGE_FILE_NAME orvane-${CPACK_PACKAGE_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# The installer's name tells it from the portable exe inside the zip.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/PackageNames_win.cmake)

set(CPACK_PACKAGE_INSTALL_DIRECTORY Orvane)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Orvane)
set(CPACK_PACKAGE_EXECUTABLES orvane Orvane) # the Start-menu entry
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt)
set(CPACK_NSIS_PACKAGE_NAME Orvane)
set(CPACK_NSIS_DISPLAY_NAME Orvane)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME orvane.exe) # the icon Add/Remove Programs shows
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/Project1/resources/orvane.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/Project1/resources/orvane.ico)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON) # offers to remove an older version first
set(CPACK_NSIS_URL_INFO_ABOUT "${PROJECT_HOMEPAGE_URL}")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit installer, as the program: Windows on ARM and 64-bit-only systems run it, and its
# registry entries land where 64-bit Windows keeps them.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
