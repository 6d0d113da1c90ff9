# zlib for the engine, built from Debian's own source of the version
# os64-font links (the installed zlib1g): the import inflates gzip-compressed
# fonts with it, and libpng inflates and deflates PNG pictures, so that the
# page reads and writes them as os64-font does.  Defines the library
# os64-zlib.
#
# Only inflate and deflate are built, with the two checksums: not the gz*
# file functions, compress and uncompress, or inflateBack.  Debian builds
# zlib with UNALIGNED_OK, under which deflate compares two bytes at a time;
# the engine's build does too, so that it runs the code os64-font runs.  The
# tables of the CRC-32 and of inflate's fixed codes are computed when first
# needed (DYNAMIC_CRC_TABLE, BUILDFIXED) instead of being carried as data:
# the same numbers, and 8 KB less page.
debian_source(zlib1g OS64_ZLIB_SOURCE zlib)

add_library(os64-zlib STATIC)
foreach(file adler32.c crc32.c deflate.c inffast.c inflate.c inftrees.c trees.c zutil.c)
  target_sources(os64-zlib PRIVATE ${zlib}/${file})
endforeach()
target_include_directories(os64-zlib PUBLIC ${zlib})
target_compile_definitions(os64-zlib PRIVATE UNALIGNED_OK DYNAMIC_CRC_TABLE BUILDFIXED)
# zlib's warnings are not this project's.
target_compile_options(os64-zlib PRIVATE -w)
