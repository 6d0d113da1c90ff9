# The build's check of the catalogs (po/check.cmake) refuses a catalog that
# lacks a message, holds a fuzzy one, or changes a format, and takes a
# complete one: tried on catalogs made of the template, one whole and
# three broken.
#
#   cmake -DSOURCE_DIR=... -DTEMPLATE=os64-font.pot -DWORK=DIR -DMSGEN=...
#         -DMSGCMP=... -DMSGFMT=... -P tests/catalogs_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${MSGEN} --no-wrap -o ${WORK}/whole.po ${TEMPLATE} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "msgen could not make a catalog of the template")
endif()
file(READ ${WORK}/whole.po whole)
# msgen leaves the header's charset open.
string(REPLACE "charset=CHARSET" "charset=UTF-8" whole "${whole}")
string(REPLACE "nplurals=INTEGER; plural=EXPRESSION;" "nplurals=2; plural=(n != 1);" whole "${whole}")
file(WRITE ${WORK}/whole.po "${whole}")

# The first message with a format of one %s, broken three ways.
string(REGEX MATCH "#, c-format\nmsgid (\"[^\"%]*%s[^\"%]*\")\nmsgstr (\"[^\"]*\")" entry "${whole}")
if(entry STREQUAL "")
  message(FATAL_ERROR "the template has no message with one %s")
endif()
set(id ${CMAKE_MATCH_1})
string(REPLACE "msgstr ${CMAKE_MATCH_2}" "msgstr \"\"" lacking "${entry}")
string(REPLACE "#, c-format" "#, fuzzy, c-format" fuzzy "${entry}")
string(REPLACE "%s" "%d" reformatted "${CMAKE_MATCH_2}")
string(REPLACE "msgstr ${CMAKE_MATCH_2}" "msgstr ${reformatted}" reformatted "${entry}")

function(check name text expect)
  string(REPLACE "${entry}" "${text}" po "${whole}")
  file(WRITE ${WORK}/${name}.po "${po}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DPO=${WORK}/${name}.po -DTEMPLATE=${TEMPLATE}
                          -DMO=${WORK}/${name}/os64-font.mo -DMSGCMP=${MSGCMP} -DMSGFMT=${MSGFMT}
                          -P ${SOURCE_DIR}/po/check.cmake
                  RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
  if(expect STREQUAL "taken" AND failed)
    message(FATAL_ERROR "the check refuses the ${name} catalog, which is complete")
  elseif(expect STREQUAL "refused" AND NOT failed)
    message(FATAL_ERROR "the check takes the ${name} catalog, whose ${id} is broken")
  endif()
  message(STATUS "${name}: ${expect}")
endfunction()
check(whole "${entry}" taken)
check(lacking "${lacking}" refused)
check(fuzzy "${fuzzy}" refused)
check(reformatted "${reformatted}" refused)
