# The stand-in's sources. Both builds share all but the platform's own: the
# path conversions (os_posix.cpp, os_win32.cpp), and on Linux the Windows
# calls (win32.cpp), which in the Windows DLL are the real KERNEL32.
set(HOTSYNC_STANDIN_SOURCES
  answers.cpp fault.cpp hostile.cpp libraries.cpp log.cpp os.cpp pdb.cpp root.cpp
  sync_manager.cpp trace.cpp)
if(WIN32)
  list(APPEND HOTSYNC_STANDIN_SOURCES os_win32.cpp)
else()
  list(APPEND HOTSYNC_STANDIN_SOURCES os_posix.cpp win32.cpp)
endif()
list(TRANSFORM HOTSYNC_STANDIN_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
