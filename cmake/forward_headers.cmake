# A layer's public headers, seen by the targets that link it without the
# source tree around them: each is a header in the build tree, at the path it
# is included by, that includes the source. A header left out is out of
# reach of everyone outside the layer.
include_guard(GLOBAL)

# zentrada_forward_headers(<tree> <prefix> <source dir> <header or glob>...)
# Writes <tree>/<prefix>/<header> for each header of <source dir> named or
# matched (globs match in subdirectories too), and removes the ones of
# <tree>/<prefix> no longer named. Unchanged files are left alone, so a
# configure run rebuilds nothing.
function(zentrada_forward_headers tree prefix source)
  set(headers "")
  foreach(item IN LISTS ARGN)
    if(item MATCHES "[*?]")
      file(GLOB_RECURSE matched CONFIGURE_DEPENDS RELATIVE ${source} ${source}/${item})
      list(APPEND headers ${matched})
    else()
      list(APPEND headers ${item})
    endif()
  endforeach()
  set(out ${tree}/${prefix})
  file(GLOB_RECURSE existing RELATIVE ${out} ${out}/*)
  foreach(header IN LISTS existing)
    if(NOT header IN_LIST headers)
      file(REMOVE ${out}/${header})
    endif()
  endforeach()
  foreach(header IN LISTS headers)
    if(NOT EXISTS ${source}/${header})
      message(FATAL_ERROR "No header ${source}/${header} to forward")
    endif()
    set(content "// Forwards to the source tree.\n#include \"${source}/${header}\"\n")
    set(old "")
    if(EXISTS ${out}/${header})
      file(READ ${out}/${header} old)
    endif()
    if(NOT old STREQUAL content)
      file(WRITE ${out}/${header} "${content}")
    endif()
  endforeach()
endfunction()
