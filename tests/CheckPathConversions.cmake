# Paths are UTF-8 std::string inside the program and become std::filesystem::path only
# through common/Utf8Path.h. A std::string or char literal given to std::filesystem
# directly is decoded in the C library's locale on Windows, which breaks every name
# outside ASCII, so this check fails the build when one slips in.
#
# Source mode (every build): no path is turned into a narrow string with string() or
# generic_string(), nor built explicitly from one, anywhere in src/ outside Utf8Path.
#   cmake -DSOURCE_DIR=<src> -P CheckPathConversions.cmake
# Object mode (the Windows build): no object file of the given static libraries holds the
# library's narrow-to-path conversion, which every implicit conversion instantiates too
# (a std::string handed to a function taking a path, path / "literal", path == string).
#   cmake -DNM=<nm> -DLIBRARIES=<a.a,b.a,...> -P CheckPathConversions.cmake
cmake_minimum_required(VERSION 3.25)

set(failures "")
if(SOURCE_DIR)
  file(GLOB_RECURSE files "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h")
  list(FILTER files EXCLUDE REGEX "/common/Utf8Path\\.(cpp|h)$")
  set(to_string "(\\.|->)(generic_)?(u8)?string[ ]*\\([ ]*\\)")
  set(from_string "(std::filesystem|fs)::(path[ ]*[({][ ]*[^)} ]|u8path[ ]*\\()")
  foreach(file IN LISTS files)
    file(RELATIVE_PATH rel "${SOURCE_DIR}" "${file}")
    file(STRINGS "${file}" lines)
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(line MATCHES "^[ ]*//")
        continue()
      endif()
      if(line MATCHES "${to_string}")
        string(APPEND failures "${rel}:${number}: path to narrow string (use Utf8FromPath): ${line}\n")
      elseif(line MATCHES "${from_string}")
        string(APPEND failures "${rel}:${number}: path from narrow string (use PathFromUtf8): ${line}\n")
      endif()
    endforeach()
  endforeach()
  list(LENGTH files count)
  set(what "${count} source files")
else()
  # path::_S_convert<char> and _S_convert_loc: a narrow string or literal becomes a path.
  set(narrow_to_path "path(10_S_convertIcE|14_S_convert_loc)")
  # A file stream, fopen, remove or rename given a narrow name: the ANSI code page again.
  set(narrow_open "basic_filebufIcSt11char_traitsIcEE4openEPKc| U (fopen|freopen|remove|rename|_open|_stat64|_access)\n")
  set(count 0)
  string(REPLACE "," ";" LIBRARIES "${LIBRARIES}")
  foreach(library IN LISTS LIBRARIES)
    execute_process(COMMAND "${NM}" -A "${library}" OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
    string(APPEND symbols "\n")
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "${NM} could not read ${library}")
    endif()
    string(REGEX MATCHALL "[^\n]*(${narrow_to_path}|${narrow_open})[^\n]*" hits "${symbols}")
    foreach(hit IN LISTS hits)
      # "archive.a:member.obj: address type symbol" -> the member
      string(REGEX REPLACE "^[^:]*:([^:]*):.*" "\\1" member "${hit}")
      # The command-line parser's object carries CLI11's config-file reader, which opens a
      # file by a narrow name; the program never gives the parser a config file, so that
      # code never runs. Nothing else of ours may appear here.
      if(member STREQUAL "CommandParser.cpp.obj" AND hit MATCHES "basic_filebufIcSt11char_traitsIcEE4openEPKc")
        continue()
      endif()
      string(APPEND failures "${member}\n")
    endforeach()
    math(EXPR count "${count} + 1")
  endforeach()
  if(failures)
    string(REGEX MATCHALL "[^\n]+" members "${failures}")
    list(REMOVE_DUPLICATES members)
    list(JOIN members "\n" failures)
    set(failures "these objects make a path from a narrow string or literal, or open a file by a narrow name (use PathFromUtf8 or a u8\"\" literal):\n${failures}\n")
  endif()
  set(what "${count} libraries")
endif()

if(failures)
  message(NOTICE "${failures}")
  message(FATAL_ERROR "Paths must cross to and from UTF-8 through common/Utf8Path.h (see above)")
endif()
message(STATUS "Paths cross to and from UTF-8 only through common/Utf8Path.h (${what} checked)")
