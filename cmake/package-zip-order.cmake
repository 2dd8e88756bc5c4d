# CPack runs this after writing a zip: it writes the zip again with the files
# in name order. CPack adds them in the order the file system lists a folder,
# which differs between file systems (hash order on ext4, creation order on
# tmpfs), so two builds of one commit would otherwise differ.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.zip$")
    continue()
  endif()
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${CPACK_TOPLEVEL_DIRECTORY}"
       "${CPACK_TEMPORARY_DIRECTORY}/*")
  list(SORT files)
  list(JOIN files "\n" listing)
  set(list_file "${CPACK_TOPLEVEL_DIRECTORY}/zip-order.txt")
  file(WRITE "${list_file}" "${listing}\n")
  file(REMOVE "${package}")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E tar cf "${package}" --format=zip "--files-from=${list_file}"
    WORKING_DIRECTORY "${CPACK_TOPLEVEL_DIRECTORY}"
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not write ${package} in name order")
  endif()
endforeach()
