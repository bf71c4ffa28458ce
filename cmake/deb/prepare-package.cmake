# Run by CPack on the staged files before it packs them. Refuses a build that
# names a developer checkout (LUMIVO_PROJECT_ROOT): its helper would carry that
# path and prefer the checkout on any machine where the path exists. Then drops
# the .comment section (the compiler's version) that stripping leaves in every
# ELF file, as Debian's own packaging tools do.
if(NOT CPACK_LUMIVO_PROJECT_ROOT STREQUAL "")
  message(FATAL_ERROR "This build names the developer checkout ${CPACK_LUMIVO_PROJECT_ROOT}, "
    "which the package would carry. Package a build configured without LUMIVO_PROJECT_ROOT.")
endif()
if(NOT IS_DIRECTORY "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" OR NOT CPACK_LUMIVO_OBJCOPY)
  message(FATAL_ERROR "prepare-package.cmake runs from CPack, with objcopy known")
endif()
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND "${CPACK_LUMIVO_OBJCOPY}" --remove-section=.comment "${file}"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${CPACK_LUMIVO_OBJCOPY} failed on ${file}")
    endif()
  endif()
endforeach()
