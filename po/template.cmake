# Makes the template of the catalogs, os64-font.pot: every message of the
# files po/POTFILES names, as xgettext finds them in the C++ and JavaScript
# sources (the arguments of tr, tr_n and N_), and the texts of the page's
# HTML that are marked data-i18n, which xgettext does not read.  Every
# message of the sources is a format, whose %s and %N$s msgfmt --check
# compares with the translation's; the HTML's are markup.
#
# FILES, files relative to SOURCE_DIR joined by "|", makes a template of
# those alone, as the browser page's build makes one of its own files.
#
#   cmake -DSOURCE_DIR=DIR -DOUTPUT=FILE.pot -DXGETTEXT=... -DMSGCAT=...
#         -DVERSION=1.0.0 [-DFILES=FILE|...] -P po/template.cmake
cmake_minimum_required(VERSION 3.25)
if(DEFINED FILES)
  string(REPLACE "|" ";" listed "${FILES}")
else()
  file(STRINGS ${SOURCE_DIR}/po/POTFILES listed REGEX "^[^#]")
endif()
set(cpp_files)
set(js_files)
set(html_files)
foreach(file IN LISTS listed)
  string(STRIP "${file}" file)
  if(file MATCHES "\\.(cpp|h)$")
    list(APPEND cpp_files ${file})
  elseif(file MATCHES "\\.(js|mjs)$")
    list(APPEND js_files ${file})
  elseif(file MATCHES "\\.html$")
    list(APPEND html_files ${file})
  elseif(NOT file STREQUAL "")
    message(FATAL_ERROR "po/POTFILES: ${file} is neither C++, JavaScript nor HTML")
  endif()
endforeach()

# The parts are made beside the output, in a folder of its own.
set(work ${OUTPUT}.parts)
file(MAKE_DIRECTORY ${work})
set(common --from-code=UTF-8 --keyword= --keyword=tr --keyword=tr_n:1,2 --keyword=N_
  --add-comments=TRANSLATORS: --no-wrap --package-name=os64-fontpatch
  --package-version=${VERSION})
# --force-po writes a template even where the files hold no message yet.
set(templates)
if(cpp_files)
  execute_process(
    COMMAND ${XGETTEXT} ${common} --language=C++ --flag=tr:1:c-format --flag=tr_n:1:c-format
            --flag=tr_n:2:c-format --flag=N_:1:c-format --force-po -o ${work}/cpp.pot
            ${cpp_files}
    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "xgettext could not read the C++ sources")
  endif()
  list(APPEND templates ${work}/cpp.pot)
endif()
if(js_files)
  execute_process(
    COMMAND ${XGETTEXT} ${common} --language=JavaScript --force-po -o ${work}/js.pot ${js_files}
    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "xgettext could not read the JavaScript sources")
  endif()
  # xgettext gives JavaScript's own format flags; the page formats its
  # messages as the C++ does.
  file(READ ${work}/js.pot js)
  string(REGEX REPLACE "\n#, (no-)?javascript-format\n" "\n" js "${js}")
  string(REGEX REPLACE "\n(#: [^\n]*)\nmsgid" "\n\\1\n#, c-format\nmsgid" js "${js}")
  file(WRITE ${work}/js.pot "${js}")
  list(APPEND templates ${work}/js.pot)
endif()

# An entry for each element marked data-i18n: its content, markup and
# all, with runs of white space made one blank.  An element marked
# data-i18n-attributes="NAME ..." has those attributes' values as
# entries too.
# Texts may hold semicolons, which CMake's lists would split: each goes
# into the template at once.
function(add_entry file line text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set_property(GLOBAL APPEND_STRING PROPERTY html_pot
    "\n#: ${file}:${line}\nmsgid \"${text}\"\nmsgstr \"\"\n")
endfunction()
foreach(file IN LISTS html_files)
  file(READ ${SOURCE_DIR}/${file} html)
  string(LENGTH "${html}" html_length)
  set(at 0)
  while(TRUE)
    string(SUBSTRING "${html}" ${at} -1 rest)
    string(REGEX MATCH "<([a-z0-9]+)[^>]* data-i18n[^>]*>" start "${rest}")
    if(start STREQUAL "")
      break()
    endif()
    set(tag ${CMAKE_MATCH_1})
    string(FIND "${rest}" "${start}" offset)
    math(EXPR at "${at} + ${offset}")
    string(SUBSTRING "${html}" 0 ${at} before)
    string(REGEX MATCHALL "\n" lines "${before}")
    list(LENGTH lines line)
    math(EXPR line "${line} + 1")
    string(LENGTH "${start}" start_length)
    math(EXPR content_at "${at} + ${start_length}")
    string(SUBSTRING "${html}" ${content_at} -1 after)
    if(start MATCHES " data-i18n[ >]")
      string(FIND "${after}" "</${tag}>" end)
      if(end LESS 0)
        message(FATAL_ERROR "${file}:${line}: <${tag} data-i18n> is never closed")
      endif()
      string(SUBSTRING "${after}" 0 ${end} content)
      string(REGEX REPLACE "[ \t\r\n]+" " " content "${content}")
      string(STRIP "${content}" content)
      add_entry(${file} ${line} "${content}")
    endif()
    if(start MATCHES " data-i18n-attributes=\"([^\"]*)\"")
      string(REPLACE " " ";" names "${CMAKE_MATCH_1}")
      foreach(name IN LISTS names)
        if(NOT start MATCHES " ${name}=\"([^\"]*)\"")
          message(FATAL_ERROR "${file}:${line}: <${tag}> has no ${name} to translate")
        endif()
        add_entry(${file} ${line} "${CMAKE_MATCH_1}")
      endforeach()
    endif()
    math(EXPR at "${content_at}")
  endwhile()
endforeach()
get_property(html_pot GLOBAL PROPERTY html_pot)
if(html_files)
  file(WRITE ${work}/html.pot
    "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n${html_pot}")
  list(APPEND templates ${work}/html.pot)
endif()

execute_process(
  COMMAND ${MSGCAT} --no-wrap --use-first -o ${OUTPUT} ${templates}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "msgcat could not join the templates")
endif()
