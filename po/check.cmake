# Checks a catalog against the template and compiles it: it must hold a
# translation of every message of the template, and no fuzzy one (msgcmp
# counts neither as there), and its formats must be the English ones
# (msgfmt --check).  Writes the compiled catalog to MO.
#
#   cmake -DPO=LANGUAGE.po -DTEMPLATE=os64-font.pot -DMO=os64-font.mo
#         -DMSGCMP=... -DMSGFMT=... -P po/check.cmake
cmake_minimum_required(VERSION 3.25)
get_filename_component(name ${PO} NAME)
execute_process(COMMAND ${MSGCMP} ${PO} ${TEMPLATE} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${name} lacks messages of the template, or holds fuzzy ones; "
    "see po/README.md")
endif()
get_filename_component(folder ${MO} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${MSGFMT} --check -o ${MO} ${PO} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${name} does not compile: its formats or its header are not right")
endif()
