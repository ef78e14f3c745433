# What a user gets, read by `cmake --install` and cpack (scripts/package.sh):
# from the mingw build the Windows zip (the three deliverables and README.txt),
# from the native build an installed tree that runs the demo where it lands,
# and from either build the source archive.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME Lensfolio)
# cpack works in the build tree; scripts/package.sh names where the archives go.
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/cpack)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME Lensfolio-${PROJECT_VERSION}-src)
# Narrows the source archive to the files git tracks, when cpack runs.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_project.cmake)

if(WIN32)
  # A folder for the user to run the installer from; the import library of
  # Lenfol.dll is not for users.
  install(TARGETS Lenfol installer uninstaller
          RUNTIME DESTINATION .
          ARCHIVE DESTINATION lib EXCLUDE_FROM_ALL)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/README.txt.in ${PROJECT_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Lensfolio-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_STRIP_FILES ON)
  # cpack builds no more than the three deliverables that package.sh builds.
  set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
else()
  # The installer takes Lenfol.dll and Lenfol.prc from its current folder, so
  # they lie together with the setup programs and the stand-in library they
  # load; bin/hotsync reaches the library from its own folder.
  set(LENSFOLIO_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/lensfolio)
  file(RELATIVE_PATH host_to_library /${CMAKE_INSTALL_BINDIR} /${LENSFOLIO_PROGRAM_DIR})
  set_target_properties(hotsync_host PROPERTIES INSTALL_RPATH "$ORIGIN/${host_to_library}")
  install(TARGETS hotsync_host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS hotsync Lenfol installer uninstaller
          LIBRARY DESTINATION ${LENSFOLIO_PROGRAM_DIR}
          RUNTIME DESTINATION ${LENSFOLIO_PROGRAM_DIR})
  install(FILES ${CMAKE_BINARY_DIR}/bin/Lenfol.prc DESTINATION ${LENSFOLIO_PROGRAM_DIR})
  install(FILES ${PROJECT_SOURCE_DIR}/samples/Cameras.txt ${PROJECT_SOURCE_DIR}/samples/LenfolDB.pdb
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lensfolio)
  set(CPACK_GENERATOR TGZ)
endif()

include(CPack)
