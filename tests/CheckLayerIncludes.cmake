# Fails when an include runs against the layering of src/:
#  - only the programs (app/, and win32ui/ on Windows) include app/ headers;
#  - folders/ and archive/ do not include each other (they share common/FolderSafety);
#  - common/ includes nothing but common/.
file(GLOB_RECURSE sources "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
set(failures "")
foreach(file IN LISTS sources)
  file(RELATIVE_PATH rel "${SOURCE_DIR}" "${file}")
  string(REGEX MATCH "^[^/]+" folder "${rel}")
  file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
    string(REGEX MATCH "^[^/]+" target "${header}")
    if(target STREQUAL "app" AND NOT folder MATCHES "^(app|win32ui)$")
      string(APPEND failures "${rel}: ${line} (only app/ and win32ui/ include app/)\n")
    elseif((folder STREQUAL "folders" AND target STREQUAL "archive") OR
           (folder STREQUAL "archive" AND target STREQUAL "folders"))
      string(APPEND failures "${rel}: ${line} (folders/ and archive/ do not include each other)\n")
    elseif(folder STREQUAL "common" AND NOT target STREQUAL "common")
      string(APPEND failures "${rel}: ${line} (common/ includes only common/)\n")
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Includes against the layering:\n${failures}")
endif()
