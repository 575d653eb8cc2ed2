# The version resource of a Windows program, what Explorer's Properties > Details shows, from the
# one project version: "0.06" is the text, 0.6.0.0 the four numbers (read as decimal, so that a
# "0.08" does not become an octal number in the resource compiler).
include_guard(GLOBAL)

# The project version as four numbers joined by SEPARATOR, into OUT.
function(snipforge_version_numbers out separator)
  set(numbers)
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(number 0)
    if(NOT "${PROJECT_VERSION_${part}}" STREQUAL "")
      math(EXPR number "${PROJECT_VERSION_${part}}")
    endif()
    list(APPEND numbers ${number})
  endforeach()
  list(JOIN numbers "${separator}" joined)
  set(${out} "${joined}" PARENT_SCOPE)
endfunction()

# Gives TARGET, a program named FILE_NAME, a version resource that describes it as DESCRIPTION.
function(snipforge_version_resource target file_name description)
  snipforge_version_numbers(SNIPFORGE_VERSION_NUMBERS ",")
  set(SNIPFORGE_FILE_NAME "${file_name}")
  set(SNIPFORGE_DESCRIPTION "${description}")
  get_filename_component(SNIPFORGE_INTERNAL_NAME "${file_name}" NAME_WE)
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version.rc.in ${resource} @ONLY)
  target_sources(${target} PRIVATE ${resource})
endfunction()
