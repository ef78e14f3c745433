# The stand-in's sources that both builds share: the Linux library adds
# win32.cpp, the Windows calls, which in the Windows DLL are the real KERNEL32.
set(HOTSYNC_STANDIN_SOURCES
  answers.cpp cond_mgr.cpp fault.cpp hostile.cpp hs_api.cpp
  install_aide.cpp log.cpp os.cpp pdb.cpp root.cpp sync_manager.cpp trace.cpp
  user_data.cpp)
list(TRANSFORM HOTSYNC_STANDIN_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
