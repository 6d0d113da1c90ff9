# libpng for the engine, built from Debian's own source of the version
# os64-font links (the installed libpng16-16), over the engine's zlib, so
# that the page decodes PNG glyph sheets to the very pixels os64-font
# decodes, and writes the very bytes it writes.  Defines the library
# os64-png.
#
# libpng is configured by pnglibconf.h, which its own scripts make from a
# list of features (pnglibconf.dfa) and a list of changes to it: here
# libpng.dfa, which leaves out what reading and writing glyph sheets never
# reach: the transforms font_png.cpp does not ask for, writing anything
# but 8-bit grey pictures, progressive reading, the simplified API and
# stdio.  It keeps all that decides which files are refused and how, so
# that the engine decodes the same pixels as the full library, and refuses
# the same files with the same messages.  The scripts need awk and a C
# preprocessor, the compiler's.
debian_source(libpng16-16 OS64_LIBPNG_SOURCE libpng)

find_program(OS64_AWK NAMES awk mawk gawk REQUIRED)
set(config ${CMAKE_CURRENT_BINARY_DIR}/libpng-config)
set(dfa ${CMAKE_CURRENT_LIST_DIR}/libpng.dfa)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${dfa})
file(MAKE_DIRECTORY ${config}/work)
# As libpng's scripts/pnglibconf.mak makes it: the options resolved, then
# preprocessed with zlib's header for zlib's defaults, then written out.
execute_process(
  COMMAND ${OS64_AWK} -f ${libpng}/scripts/options.awk out=pnglibconf.pre version=search
    ${libpng}/pngconf.h ${libpng}/scripts/pnglibconf.dfa ${libpng}/pngusr.dfa ${dfa}
  COMMAND_ERROR_IS_FATAL ANY
  WORKING_DIRECTORY ${config}/work)
execute_process(
  COMMAND ${OS64_AWK} -f ${libpng}/scripts/options.awk out=pnglibconf.dfn pnglibconf.pre
  COMMAND_ERROR_IS_FATAL ANY
  WORKING_DIRECTORY ${config}/work)
file(WRITE ${config}/work/pnglibconf.c "#include \"pnglibconf.dfn\"\n")
execute_process(
  COMMAND ${CMAKE_C_COMPILER} -E -I${zlib} pnglibconf.c
  COMMAND_ERROR_IS_FATAL ANY
  WORKING_DIRECTORY ${config}/work OUTPUT_FILE pnglibconf.out)
execute_process(
  COMMAND ${OS64_AWK} -f ${libpng}/scripts/dfn.awk out=pnglibconf.h pnglibconf.out
  COMMAND_ERROR_IS_FATAL ANY
  WORKING_DIRECTORY ${config}/work)
file(COPY_FILE ${config}/work/pnglibconf.h ${config}/pnglibconf.h ONLY_IF_DIFFERENT)

add_library(os64-png STATIC)
foreach(file png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c pngrtran.c
    pngrutil.c pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c)
  target_sources(os64-png PRIVATE ${libpng}/${file})
endforeach()
target_include_directories(os64-png PUBLIC ${config} ${libpng})
target_link_libraries(os64-png PUBLIC os64-zlib)
# libpng's warnings are not this project's.
target_compile_options(os64-png PRIVATE -w)
