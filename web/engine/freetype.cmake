# FreeType for the engine, built from Debian's own source of the version
# os64-font links (the installed libfreetype6), so that the page and
# os64-font make the same table of the same font file.  Defines the library
# os64-freetype.
#
# Only what the import needs is built: the TrueType, CFF, PCF, BDF and
# Windows FNT drivers, with sfnt, psaux, psnames and pshinter, the
# monochrome rasterizer, and the autohinter, which FreeType uses for
# TrueType fonts without hinting instructions.  zlib, bzip2, LZW, PNG,
# Brotli and HarfBuzz are left out: the import undoes gzip before FreeType
# sees a font.
debian_source(libfreetype6 OS64_FREETYPE_SOURCE freetype)

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
