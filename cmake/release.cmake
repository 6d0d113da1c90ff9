# The "release" preset: `cmake --workflow --preset release` makes every
# artifact of a release in build-release/ with packaging/release, which
# builds them with the other presets.  Configuring looks for the tools that
# needs, and stops with the Debian packages to install where some are
# missing; building runs the script, every time afresh.
set(release_script ${PROJECT_SOURCE_DIR}/packaging/release)
execute_process(COMMAND ${release_script} --check RESULT_VARIABLE missing)
if(missing)
  message(FATAL_ERROR "The release cannot be made on this machine: install the packages above")
endif()
add_custom_target(release ALL
  COMMAND ${release_script}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  USES_TERMINAL
  VERBATIM)
