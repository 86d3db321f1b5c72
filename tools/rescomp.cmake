# vorlen_resource_table(<output .S> DATA <folder> SYMBOL <symbol>)
# Runs the resource compiler at build time; the output is re-made when any file under the data
# folder (or the compiler) changes, and when files are added or removed (re-configure).
find_package(Python3 COMPONENTS Interpreter REQUIRED)

function(vorlen_resource_table output)
  cmake_parse_arguments(ARG "" "DATA;SYMBOL" "" ${ARGN})
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS "${ARG_DATA}/*")
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/rescomp.py
            --data ${ARG_DATA} --out ${output} --symbol ${ARG_SYMBOL} --quiet
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/rescomp.py ${inputs}
    COMMENT "Compiling resources of ${ARG_DATA}"
    VERBATIM)
  # The generated file embeds the data with .incbin: the assembler must see data changes.
  set_source_files_properties(${output} PROPERTIES OBJECT_DEPENDS "${inputs}")
endfunction()
