# CPack runs this after staging the files of a package: with SOURCE_DATE_EPOCH
# set, every staged file and folder gets that time, so that the package does
# not record when the checkout or the build happened.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  return()
endif()
if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds, not '$ENV{SOURCE_DATE_EPOCH}'")
endif()
execute_process(
  COMMAND find "${CPACK_TEMPORARY_DIRECTORY}" -exec touch --no-dereference --date=@$ENV{SOURCE_DATE_EPOCH} {} +
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not set the times of the staged files in ${CPACK_TEMPORARY_DIRECTORY}")
endif()
