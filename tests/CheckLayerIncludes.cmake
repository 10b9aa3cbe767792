# Fails when an include runs against the layering of src/: every folder has a level, and a
# folder includes only folders of lower levels (never one of its own level):
#   0 common/   1 platform/   2 ui/, inspect/, update/
#   3 fileops/, folders/, archive/, shortcut/, info/   4 protect/   5 ziptool/   6 app/, cli/
#   7 win32ui/
# Inside archive/ the parts build upward: codecs/ on the shared headers at the top of
# archive/, crypto/ and gzip/ also on codecs/, zip/ on those but not on gzip/.
cmake_minimum_required(VERSION 3.20)
set(levels
  common 0
  platform 1
  ui 2 inspect 2 update 2
  fileops 3 folders 3 archive 3 shortcut 3 info 3
  protect 4
  ziptool 5
  app 6 cli 6
  win32ui 7)
set(known "")
list(LENGTH levels count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET levels ${i} name)
  list(GET levels ${j} level)
  set(level_${name} ${level})
  list(APPEND known ${name})
endforeach()

set(failures "")
file(GLOB entries LIST_DIRECTORIES true "${SOURCE_DIR}/*")
foreach(entry IN LISTS entries)
  get_filename_component(name "${entry}" NAME)
  if(IS_DIRECTORY "${entry}" AND NOT name IN_LIST known)
    string(APPEND failures "src/${name}/ has no level in tests/CheckLayerIncludes.cmake\n")
  endif()
endforeach()

file(GLOB_RECURSE sources "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
foreach(file IN LISTS sources)
  file(RELATIVE_PATH rel "${SOURCE_DIR}" "${file}")
  string(REGEX MATCH "^[^/]+" folder "${rel}")
  if(NOT DEFINED level_${folder})
    continue()
  endif()
  file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
    if(NOT header MATCHES "/")
      continue()
    endif()
    string(REGEX MATCH "^[^/]+" target "${header}")
    if(NOT DEFINED level_${target})
      continue()
    endif()
    if(target STREQUAL folder)
      if(folder STREQUAL "archive")
        string(REGEX MATCH "^archive/([^/]+)/" part_match "${rel}")
        set(part "${CMAKE_MATCH_1}")
        string(REGEX MATCH "^archive/([^/]+)/" used_match "${header}")
        set(used "${CMAKE_MATCH_1}")
        set(allowed "")
        if(part STREQUAL "codecs")
          set(allowed "codecs")
        elseif(part STREQUAL "crypto")
          set(allowed "codecs|crypto")
        elseif(part STREQUAL "gzip")
          set(allowed "codecs|gzip")
        elseif(part STREQUAL "zip")
          set(allowed "codecs|crypto|zip")
        endif()
        if(allowed AND used AND NOT used MATCHES "^(${allowed})$")
          string(APPEND failures "${rel}: ${line} (archive/${part}/ does not include archive/${used}/)\n")
        endif()
      endif()
    elseif(NOT level_${target} LESS level_${folder})
      string(APPEND failures
        "${rel}: ${line} (${folder}/ is on level ${level_${folder}}, ${target}/ on level ${level_${target}})\n")
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Includes against the layering:\n${failures}")
endif()
