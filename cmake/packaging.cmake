# Installation layout and the distributable zip: the program and the data it
# reads, laid out as they go into the suite's root directory.
#   cmake --build <dir> --target package    -> <dir>/qplayout-<version>-<system>.zip
#   cmake --install <dir> --prefix <folder> -> the same files in a folder
install(TARGETS qplayout RUNTIME DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/FORMS ${CMAKE_SOURCE_DIR}/LOCALE DESTINATION .)

# The help pages, named one by one so that a page missing from the tree stops
# the configuration instead of leaving the package without it: the Catalan
# pages in AJUDA itself, the others in the folder of the session's language
# code, where the pager looks first (scripts/help_pages.py writes them all).
set(qp_help_pages QPLAYOUT.HLP QPMENUEX.HLP)
foreach(qp_help_folder "" SPA GLG OCI)
  set(qp_help_files)
  foreach(qp_help_page IN LISTS qp_help_pages)
    set(qp_help_file ${CMAKE_SOURCE_DIR}/AJUDA/${qp_help_folder}/${qp_help_page})
    if(NOT EXISTS ${qp_help_file})
      message(FATAL_ERROR "missing help page ${qp_help_file}: run scripts/make_data.py")
    endif()
    list(APPEND qp_help_files ${qp_help_file})
  endforeach()
  install(FILES ${qp_help_files} DESTINATION AJUDA/${qp_help_folder})
endforeach()

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
