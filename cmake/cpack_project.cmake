# Read by cpack before each package (CPACK_PROJECT_CONFIG_FILE). The source
# archive holds the files that git tracks and nothing else, whatever build
# trees and scratch files lie in the source tree: each path that git does not
# track (an untracked folder as one path) joins the ignore list, matched
# exactly.
if(NOT CPACK_INSTALLED_DIRECTORIES)
  return()  # a binary package
endif()

function(lensfolio_exact_path_regex out path)
  string(REGEX REPLACE "([.()*+?^$|])" "\\\\\\1" escaped "${path}")
  set(${out} "^${escaped}(/|$)" PARENT_SCOPE)
endfunction()

list(GET CPACK_INSTALLED_DIRECTORIES 0 source_dir)
execute_process(COMMAND git -C "${source_dir}" ls-files --others --directory
                OUTPUT_VARIABLE untracked ERROR_VARIABLE error RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "The source archive is made from a git checkout of ${source_dir}: ${error}")
endif()
# git quotes unusual names, and a CMake list cannot carry ; or brackets: such a
# path could not be matched exactly, so it stops the archive instead.
if(untracked MATCHES "(^|\n)\"|[][;\\]")
  message(FATAL_ERROR "Untracked paths with unusual names in ${source_dir}; move them away:\n${untracked}")
endif()
string(REGEX REPLACE "/?\n" ";" untracked "${untracked}")

lensfolio_exact_path_regex(ignore "${source_dir}/.git")
set(CPACK_IGNORE_FILES "${ignore}")
foreach(path IN LISTS untracked)
  if(NOT path STREQUAL "")
    lensfolio_exact_path_regex(ignore "${source_dir}/${path}")
    list(APPEND CPACK_IGNORE_FILES "${ignore}")
  endif()
endforeach()
