# Installation layout and the distributable zip: the program and the data it
# reads, laid out as they go into the suite's root directory.
#   cmake --build <dir> --target package    -> <dir>/qplayout-<version>-<system>.zip
#   cmake --install <dir> --prefix <folder> -> the same files in a folder
install(TARGETS qplayout RUNTIME DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/FORMS ${CMAKE_SOURCE_DIR}/LOCALE ${CMAKE_SOURCE_DIR}/AJUDA DESTINATION .)

# The installing text with the version filled in, with CR LF line ends where
# it is read with Windows' tools.
if(WIN32)
  set(qp_install_newlines CRLF)
else()
  set(qp_install_newlines UNIX)
endif()
configure_file(${CMAKE_SOURCE_DIR}/packaging/INSTALL.txt ${CMAKE_BINARY_DIR}/INSTALL.txt
               @ONLY NEWLINE_STYLE ${qp_install_newlines})
install(FILES ${CMAKE_BINARY_DIR}/INSTALL.txt DESTINATION .)

set(CPACK_PACKAGE_NAME qplayout)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Receipt layout utility")
set(CPACK_GENERATOR ZIP)
# Unpacked straight into the suite's root, without a folder of its own.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_FILE_NAME "qplayout-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
# The program without its symbols: half the size.
set(CPACK_STRIP_FILES TRUE)
include(CPack)
