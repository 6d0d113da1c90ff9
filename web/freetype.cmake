# FreeType for the engine, built from Debian's own source of the version
# os64-font links (the installed libfreetype6), so that the page and
# os64-font make the same table of the same font file.  Defines the library
# os64-freetype.
#
# The source is fetched into the build tree by fetch-freetype, unless
# OS64_FREETYPE_SOURCE names one already unpacked.  A source of another
# version than the installed libfreetype6 is refused.
#
# Only what the import needs is built: the TrueType, CFF, PCF, BDF and
# Windows FNT drivers, with sfnt, psaux, psnames and pshinter, the
# monochrome rasterizer, and the autohinter, which FreeType uses for
# TrueType fonts without hinting instructions.  zlib, bzip2, LZW, PNG,
# Brotli and HarfBuzz are left out: the browser undoes gzip itself.
set(OS64_FREETYPE_SOURCE "" CACHE PATH
  "Debian's FreeType source, unpacked; empty to fetch it into the build tree")

# The machine's own architecture's: another one's may be installed beside it.
execute_process(COMMAND dpkg --print-architecture
  OUTPUT_VARIABLE architecture OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
execute_process(COMMAND dpkg-query -W "-f=\${source:Version}" libfreetype6:${architecture}
  OUTPUT_VARIABLE installed_version RESULT_VARIABLE failed ERROR_QUIET)
if(failed OR installed_version STREQUAL "")
  message(FATAL_ERROR "libfreetype6 is not installed: the page builds the FreeType version "
    "os64-font links, and there is none (Debian: apt-get install libfreetype-dev)")
endif()

# The version of the FreeType source in folder, from its Debian changelog.
function(freetype_source_version folder out)
  set(version "")
  if(EXISTS ${folder}/debian/changelog)
    file(STRINGS ${folder}/debian/changelog top LIMIT_COUNT 1)
    if(top MATCHES "^freetype \\(([^)]+)\\)")
      set(version ${CMAKE_MATCH_1})
    endif()
  endif()
  set(${out} "${version}" PARENT_SCOPE)
endfunction()

set(freetype ${OS64_FREETYPE_SOURCE})
if(NOT freetype)
  file(GLOB fetched LIST_DIRECTORIES true ${CMAKE_BINARY_DIR}/freetype/freetype-*)
  foreach(folder IN LISTS fetched)
    freetype_source_version(${folder} version)
    if(version STREQUAL installed_version)
      set(freetype ${folder})
    endif()
  endforeach()
  if(NOT freetype)
    message(STATUS "Fetching Debian's FreeType ${installed_version} source")
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/freetype)
    execute_process(
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/fetch-freetype ${CMAKE_BINARY_DIR}/freetype
      OUTPUT_VARIABLE freetype OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "web/fetch-freetype could not fetch Debian's FreeType "
        "${installed_version} source")
    endif()
  endif()
endif()
freetype_source_version(${freetype} source_version)
if(NOT source_version STREQUAL installed_version)
  message(FATAL_ERROR "${freetype} is FreeType ${source_version}, but the installed "
    "libfreetype6, which os64-font links, is ${installed_version}: the page must read fonts "
    "with the same version.  Leave OS64_FREETYPE_SOURCE empty to fetch that one.")
endif()
message(STATUS "FreeType ${source_version} from ${freetype}")

# The build's own configuration headers, found before the source's: its
# options less the compression and shaping libraries, and its module list
# (in the source's own order, which is the order drivers are tried in) less
# the modules left out.
set(config_root ${CMAKE_CURRENT_BINARY_DIR}/freetype-config)
set(config ${config_root}/freetype/config)
file(READ ${freetype}/include/freetype/config/ftoption.h options)
string(REGEX REPLACE "\n#define (FT_CONFIG_OPTION_USE_(ZLIB|LZW|BZIP2|PNG|HARFBUZZ|BROTLI))"
  "\n/* #define \\1 */" options "${options}")
file(WRITE ${config}/ftoption.h.new "${options}")
file(COPY_FILE ${config}/ftoption.h.new ${config}/ftoption.h ONLY_IF_DIFFERENT)
set(modules tt_driver cff_driver winfnt_driver pcf_driver bdf_driver sfnt_module
  psaux_module psnames_module pshinter_module ft_raster1_renderer autofit_module)
list(JOIN modules "|" modules)
file(STRINGS ${freetype}/include/freetype/config/ftmodule.h used
  REGEX "^FT_USE_MODULE\\( *[A-Za-z_]+, *(${modules})_class *\\)")
list(JOIN used "\n" used)
file(WRITE ${config}/ftmodule.h.new "${used}\n")
file(COPY_FILE ${config}/ftmodule.h.new ${config}/ftmodule.h ONLY_IF_DIFFERENT)

enable_language(C)
add_library(os64-freetype STATIC)
foreach(file base/ftsystem.c base/ftinit.c base/ftdebug.c base/ftbase.c base/ftbitmap.c
    base/ftbdf.c base/ftwinfnt.c truetype/truetype.c cff/cff.c winfonts/winfnt.c pcf/pcf.c
    bdf/bdf.c sfnt/sfnt.c psaux/psaux.c psnames/psnames.c pshinter/pshinter.c
    raster/raster.c autofit/autofit.c)
  target_sources(os64-freetype PRIVATE ${freetype}/src/${file})
endforeach()
target_include_directories(os64-freetype BEFORE PUBLIC ${config_root} ${freetype}/include)
target_compile_definitions(os64-freetype PRIVATE FT2_BUILD_LIBRARY)
# FreeType's warnings are not this project's.
target_compile_options(os64-freetype PRIVATE -w)
