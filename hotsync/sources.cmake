# The stand-in's sources that both builds share: the Linux library adds
# win32.cpp, the Windows calls, which in the Windows DLL are the real KERNEL32.
set(HOTSYNC_STANDIN_SOURCES
  answers.cpp fault.cpp hostile.cpp libraries.cpp log.cpp os.cpp pdb.cpp root.cpp
  sync_manager.cpp trace.cpp)
list(TRANSFORM HOTSYNC_STANDIN_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
