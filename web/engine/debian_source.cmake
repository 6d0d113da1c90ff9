# Debian's own source of a library os64-font links, for the engine to be
# built from: the version of the installed binary package, so that the page
# reads and writes files exactly as os64-font does.
#
#   debian_source(PACKAGE CACHE_VARIABLE OUT)
#
# sets OUT to the folder of the unpacked source of the installed binary
# PACKAGE (libfreetype6, zlib1g, libpng16-16).  That is the folder the cache
# variable CACHE_VARIABLE names, when it is set, or else one of
# ${CMAKE_BINARY_DIR}/debian-source, which fetch-debian-source fetches into
# when configuring (it needs dpkg-dev and a network).  A source of another
# version than the installed package's is refused.

# The machine's own architecture's: another one's may be installed beside it.
execute_process(COMMAND dpkg --print-architecture
  OUTPUT_VARIABLE debian_architecture OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)

# The version of the Debian source package named source in folder, from its
# Debian changelog; empty when folder holds no such source.
function(debian_source_version folder source out)
  set(version "")
  if(EXISTS ${folder}/debian/changelog)
    file(STRINGS ${folder}/debian/changelog top LIMIT_COUNT 1)
    # Source package names hold letters, digits and "+-.".
    string(REPLACE "." "\\." pattern "${source}")
    string(REPLACE "+" "\\+" pattern "${pattern}")
    if(top MATCHES "^${pattern} \\(([^)]+)\\)")
      set(version ${CMAKE_MATCH_1})
    endif()
  endif()
  set(${out} "${version}" PARENT_SCOPE)
endfunction()

function(debian_source package cache_variable out)
  set(${cache_variable} "" CACHE PATH
    "Debian's source of ${package}, unpacked; empty to fetch it into the build tree")
  execute_process(COMMAND dpkg-query -W "-f=\${source:Package} \${source:Version}"
      ${package}:${debian_architecture}
    OUTPUT_VARIABLE installed RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR NOT installed MATCHES "^([^ ]+) ([^ ]+)$")
    message(FATAL_ERROR "${package} is not installed: the page builds the version of it "
      "os64-font links, and there is none (Debian: apt-get install ${package})")
  endif()
  set(source ${CMAKE_MATCH_1})
  set(installed_version ${CMAKE_MATCH_2})

  set(folder ${${cache_variable}})
  if(NOT folder)
    set(fetch_dir ${CMAKE_BINARY_DIR}/debian-source)
    file(GLOB fetched LIST_DIRECTORIES true ${fetch_dir}/${source}-*)
    foreach(candidate IN LISTS fetched)
      debian_source_version(${candidate} ${source} version)
      if(version STREQUAL installed_version)
        set(folder ${candidate})
      endif()
    endforeach()
    if(NOT folder)
      message(STATUS "Fetching Debian's ${source} ${installed_version} source")
      execute_process(
        COMMAND ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/fetch-debian-source ${fetch_dir} ${package}
        OUTPUT_VARIABLE folder OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "web/engine/fetch-debian-source could not fetch Debian's "
          "${source} ${installed_version} source.  Where Debian no longer publishes the "
          "installed version's source, upgrade ${package} to the version it publishes.")
      endif()
    endif()
  endif()
  debian_source_version(${folder} ${source} version)
  if(NOT version STREQUAL installed_version)
    message(FATAL_ERROR "${folder} is not Debian's ${source} ${installed_version} source, "
      "the version of the installed ${package}, which os64-font links: the page must read "
      "files with the same version.  Leave ${cache_variable} empty to fetch that one.")
  endif()
  message(STATUS "${source} ${version} from ${folder}")
  set(${out} ${folder} PARENT_SCOPE)
endfunction()
