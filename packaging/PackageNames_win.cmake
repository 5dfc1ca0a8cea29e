# SPDX-License-Identifier: LicenseRef-proprietary
# Read by cpack for each generator: the installer is orvane-VERSION-windows-x64-setup.exe.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
