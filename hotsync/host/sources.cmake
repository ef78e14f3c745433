# The host's sources, shared by the native build (hotsync/host/CMakeLists.txt)
# and the Windows one (windows/CMakeLists.txt), which adds its own platform file.
set(HOTSYNC_HOST_SOURCES)
foreach(source admin backup check conduit_loader configure diff dry_run files log_view main
               progress_line restore session show sync sync_settings text)
  list(APPEND HOTSYNC_HOST_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${source}.cpp)
endforeach()
