# The catalogs of the words people read: po/LANGUAGE.po for each language
# po/LINGUAS names, which os64-font and the browser page share.  The build
# makes their template from the sources (po/template.cmake) and refuses a
# catalog that lacks a message of it, holds a fuzzy one (msgcmp counts
# neither), or whose formats differ from the template's (msgfmt --check);
# then it compiles each.  GNU gettext's tools do the work.
foreach(tool xgettext msgcat msgcmp msgfmt)
  string(TOUPPER ${tool} name)
  find_program(OS64_${name} ${tool})
  if(NOT OS64_${name})
    message(FATAL_ERROR "The catalogs of os64-font and the page need ${tool}, which is "
      "missing: install GNU gettext (Debian: apt-get install gettext)")
  endif()
endforeach()

set(OS64_PO_DIR ${PROJECT_SOURCE_DIR}/po)
file(STRINGS ${OS64_PO_DIR}/LINGUAS OS64_LANGUAGES REGEX "^[^#]")
file(STRINGS ${OS64_PO_DIR}/POTFILES po_sources REGEX "^[^#]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${OS64_PO_DIR}/LINGUAS ${OS64_PO_DIR}/POTFILES)
list(TRANSFORM po_sources PREPEND ${PROJECT_SOURCE_DIR}/)

# Makes the template template from the sources, or of the files listed
# after it alone (relative to the project's folder).
function(os64_catalog_template template)
  if(ARGN)
    # The list goes to the script as one argument, its files joined by "|".
    string(REPLACE ";" "|" joined "${ARGN}")
    set(files "-DFILES=${joined}")
    set(depends ${ARGN})
    list(TRANSFORM depends PREPEND ${PROJECT_SOURCE_DIR}/)
  else()
    set(files)
    set(depends ${po_sources} ${OS64_PO_DIR}/POTFILES)
  endif()
  add_custom_command(OUTPUT ${template}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT=${template}
            -DXGETTEXT=${OS64_XGETTEXT} -DMSGCAT=${OS64_MSGCAT} -DVERSION=${PROJECT_VERSION}
            ${files} -P ${OS64_PO_DIR}/template.cmake
    DEPENDS ${depends} ${OS64_PO_DIR}/template.cmake
    VERBATIM)
endfunction()

# Checks every catalog against template and compiles it to
# folder/LANGUAGE/LC_MESSAGES/os64-font.mo; sets out to the files made.
function(os64_compile_catalogs template folder out)
  set(made)
  foreach(language IN LISTS OS64_LANGUAGES)
    set(po ${OS64_PO_DIR}/${language}.po)
    set(mo ${folder}/${language}/LC_MESSAGES/os64-font.mo)
    add_custom_command(OUTPUT ${mo}
      COMMAND ${CMAKE_COMMAND} -DPO=${po} -DTEMPLATE=${template} -DMO=${mo}
              -DMSGCMP=${OS64_MSGCMP} -DMSGFMT=${OS64_MSGFMT} -P ${OS64_PO_DIR}/check.cmake
      DEPENDS ${po} ${template} ${OS64_PO_DIR}/check.cmake
      COMMENT "Checking and compiling the ${language} catalog"
      VERBATIM)
    list(APPEND made ${mo})
  endforeach()
  set(${out} ${made} PARENT_SCOPE)
endfunction()
