# The same sources give the same executables in any folder at any time.
#
# Release builds (the product, the Debian packages) carry no folder of the machine that built
# them: __FILE__ (assert, GoogleTest, any macro) and debug information name the sources relative
# to the source and build folders. Other builds keep the real paths, for the debugger, the
# sanitizers' reports and the fuzzers' coverage report. The later map wins where both match, so
# the build folder, which may lie inside the source folder, comes last.
add_compile_options(
    "$<$<AND:$<CONFIG:Release,MinSizeRel>,$<COMPILE_LANGUAGE:C,CXX>>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
    "$<$<AND:$<CONFIG:Release,MinSizeRel>,$<COMPILE_LANGUAGE:C,CXX>>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")

# A Windows executable's header holds the link time and a checksum over the file: without the
# time (zero, as ld writes it with --no-insert-timestamp) both depend on the sources only.
if(MINGW)
    add_link_options(-Wl,--no-insert-timestamp)
endif()
