# Reads a Windows program's or library's tables with objdump: every imported
# DLL must be one that Windows itself ships, and a driver library must export
# exactly the entry points of driver/entry_points.h, under their undecorated
# names; a program with a version resource must carry the project's
# version in it and in its manifest. Run as: cmake -DOBJDUMP=... -DFILE=...
# [-DENTRY_POINTS=...] [-DVERSION=<major.minor.patch> -DWINDRES=...] -P pe_check.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls ADVAPI32.dll KERNEL32.dll USER32.dll GDI32.dll SHELL32.dll COMCTL32.dll COMDLG32.dll OLE32.dll MSI.dll
  msvcrt.dll WS2_32.dll)
string(TOUPPER "${system_dlls}" system_dlls)

execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump could not read ${FILE}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOUPPER "${dll}" upper)
  if(NOT upper IN_LIST system_dlls)
    message(SEND_ERROR "${FILE} imports ${dll}, which Windows does not ship")
  endif()
endforeach()
message(STATUS "imports: ${imports}")

if(ENTRY_POINTS)
  file(READ ${ENTRY_POINTS} list_text)
  string(REGEX MATCHALL "X\\((TORVA_[A-Za-z0-9_]+)" expected "${list_text}")
  string(REPLACE "X(" "" expected "${expected}")
  list(SORT expected)
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([ \t]*\\[[^\n]*\n)*" table "${dump}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${table}")
  set(exported "")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${row}")
    string(STRIP "${name}" name)
    list(APPEND exported "${name}")
  endforeach()
  list(SORT exported)
  list(LENGTH expected expected_count)
  list(LENGTH exported exported_count)
  if(NOT exported STREQUAL expected)
    message(SEND_ERROR "${FILE} exports ${exported_count} names, not the ${expected_count} entry points: ${exported}")
  endif()
  message(STATUS "exports: ${exported_count} undecorated entry points")
endif()

if(VERSION)
  execute_process(COMMAND ${WINDRES} --input ${FILE} --output-format rc OUTPUT_VARIABLE resources RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "windres could not read the resources of ${FILE}")
  endif()
  string(REPLACE "." ", " numbers "${VERSION}")
  # As windres writes them back: the manifest's quotes doubled.
  foreach(expected "FILEVERSION ${numbers}, 0\n" "PRODUCTVERSION ${numbers}, 0\n"
      "VALUE \"FileVersion\", \"${VERSION}\"\n" "VALUE \"ProductVersion\", \"${VERSION}\"\n"
      "<assemblyIdentity type=\"\"win32\"\" name=\"\"Zentrada\"\" version=\"\"${VERSION}.0\"\"")
    string(FIND "${resources}" "${expected}" found)
    if(found EQUAL -1)
      message(SEND_ERROR "${FILE}'s resources lack: ${expected}")
    endif()
  endforeach()
  message(STATUS "version ${VERSION} in the version resource and the manifest")
endif()
