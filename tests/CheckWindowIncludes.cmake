# Fails when window code reaches a POSIX header or a POSIX-only call, so that building the
# windows with Qt for Windows needs only the Win32 backend. Window code: the six window
# units, src/ui and the program's start (app/AppWindows, app/main), and every project
# header they include, followed through the tree.
#   cmake -DSOURCE_DIR=<src> -P CheckWindowIncludes.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB window_files
  "${SOURCE_DIR}/*/Unit*.cpp" "${SOURCE_DIR}/*/Unit*.h"
  "${SOURCE_DIR}/app/unlockpas.cpp" "${SOURCE_DIR}/app/unlockpas.h"
  "${SOURCE_DIR}/info/Reabout.cpp" "${SOURCE_DIR}/info/Reabout.h"
  "${SOURCE_DIR}/ui/*.cpp" "${SOURCE_DIR}/ui/*.h"
  "${SOURCE_DIR}/app/AppWindows.cpp" "${SOURCE_DIR}/app/AppWindows.h" "${SOURCE_DIR}/app/main.cpp")

set(posix_headers "unistd\\.h|fcntl\\.h|dirent\\.h|pwd\\.h|grp\\.h|signal\\.h|spawn\\.h|poll\\.h|termios\\.h|dlfcn\\.h|pthread\\.h|sys/[^>]*|linux/[^>]*|netinet/[^>]*|arpa/[^>]*")
set(posix_calls "(getuid|geteuid|getpwuid|getpwnam|fork|execv|execl|execvp|waitpid|isatty|readlink|realpath|fsync|posix_spawn|kill|lstat|utimensat|statx|getxattr|setxattr|ioctl)[ ]*\\(")

set(queue ${window_files})
set(seen "")
set(failures "")
while(queue)
  list(POP_FRONT queue file)
  if(file IN_LIST seen)
    continue()
  endif()
  list(APPEND seen "${file}")
  file(RELATIVE_PATH rel "${SOURCE_DIR}" "${file}")
  file(STRINGS "${file}" lines)
  foreach(line IN LISTS lines)
    if(line MATCHES "^#[ ]*include[ ]*<(${posix_headers})>")
      string(APPEND failures "${rel}: ${line}\n")
    elseif(line MATCHES "^#[ ]*include[ ]*\"([^\"]+)\"")
      set(included "${SOURCE_DIR}/${CMAKE_MATCH_1}")
      if(EXISTS "${included}" AND NOT included MATCHES "/platform/(posix|win32)/")
        list(APPEND queue "${included}")
      endif()
    elseif(line MATCHES "(^|[^A-Za-z0-9_:.>])${posix_calls}" AND NOT line MATCHES "^[ ]*//")
      string(APPEND failures "${rel}: POSIX call: ${line}\n")
    endif()
  endforeach()
endwhile()

if(failures)
  message(FATAL_ERROR "Window code uses POSIX headers or calls (keep them in platform/posix):\n${failures}")
endif()
list(LENGTH seen count)
message(STATUS "Window code is free of POSIX headers and calls (${count} files checked)")
