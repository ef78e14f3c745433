# The host's sources, and its platform file: host_os_posix.cpp, or
# host_os_win32.cpp for hotsync.exe.
set(HOTSYNC_HOST_SOURCES)
foreach(source admin backup check conduit_loader configure diff dry_run files log_view main
               progress_line restore session show sync sync_settings text)
  list(APPEND HOTSYNC_HOST_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${source}.cpp)
endforeach()
if(WIN32)
  list(APPEND HOTSYNC_HOST_SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_os_win32.cpp)
else()
  list(APPEND HOTSYNC_HOST_SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_os_posix.cpp)
endif()
