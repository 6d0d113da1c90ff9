# Makes the self-contained page: every "<!-- include FILE -->" line of
# TEMPLATE is replaced by FILE, found in one of the folders SEARCH lists,
# inside a <style> element for a .css file, as it is for an .html file
# (which holds elements of its own), and inside a <script> element
# otherwise.  The result is written to OUTPUT.
#
#   cmake -DTEMPLATE=page.html -DOUTPUT=out.html "-DSEARCH=dir;dir" -P inline.cmake
file(READ "${TEMPLATE}" page)
string(REGEX MATCHALL "<!-- include [^ ]+ -->" includes "${page}")
foreach(include IN LISTS includes)
  string(REGEX REPLACE "<!-- include ([^ ]+) -->" "\\1" name "${include}")
  unset(path)
  foreach(folder IN LISTS SEARCH)
    if(NOT DEFINED path AND EXISTS "${folder}/${name}")
      set(path "${folder}/${name}")
    endif()
  endforeach()
  if(NOT DEFINED path)
    message(FATAL_ERROR "${name}, included by ${TEMPLATE}, is in none of: ${SEARCH}")
  endif()
  file(READ "${path}" content)
  # A closing tag inside the content would end its element early.
  string(TOLOWER "${content}" lower)
  if(NOT name MATCHES "\\.html$" AND lower MATCHES "</(script|style)")
    message(FATAL_ERROR "${path} holds a closing </script> or </style> tag")
  endif()
  if(name MATCHES "\\.html$")
    set(element "${content}")
  elseif(name MATCHES "\\.css$")
    set(element "<style>\n${content}</style>")
  else()
    set(element "<script>\n${content}</script>")
  endif()
  string(REPLACE "${include}" "${element}" page "${page}")
endforeach()
file(WRITE "${OUTPUT}" "${page}")
