# The man pages, from their scdoc sources, installed under share/man/man1
# compressed, as Debian installs them (gzip -n: the same bytes every build).
find_program(SCDOC scdoc REQUIRED)
find_program(GZIP gzip REQUIRED)
set(QUIL_MAN_PAGES)
# quil's OPTIONS come from its option table, put in place of %OPTIONS%.
set(QUIL_MAN_OPTIONS ${PROJECT_BINARY_DIR}/man/quil-options.scd)
add_custom_command(OUTPUT ${QUIL_MAN_OPTIONS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
  COMMAND quil_man_options > ${QUIL_MAN_OPTIONS}
  DEPENDS quil_man_options VERBATIM)
foreach(page quil.1 quillane.1)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.scd)
  set(filled ${PROJECT_BINARY_DIR}/man/${page}.scd)
  set(output ${PROJECT_BINARY_DIR}/man/${page})
  add_custom_command(OUTPUT ${output} ${output}.gz
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${source} -DOPTIONS=${QUIL_MAN_OPTIONS} -DOUTPUT=${filled}
            -P ${PROJECT_SOURCE_DIR}/cmake/fill-man-options.cmake
    COMMAND ${SCDOC} < ${filled} > ${output}
    COMMAND ${GZIP} -9 -n -c ${output} > ${output}.gz
    DEPENDS ${source} ${QUIL_MAN_OPTIONS} ${PROJECT_SOURCE_DIR}/cmake/fill-man-options.cmake VERBATIM)
  list(APPEND QUIL_MAN_PAGES ${output}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${QUIL_MAN_PAGES})
install(FILES ${QUIL_MAN_PAGES} DESTINATION share/man/man1)

# The shell completions, made by quil from its option table, installed
# where each shell looks for them.
set(QUIL_COMPLETIONS ${PROJECT_BINARY_DIR}/completions)
add_custom_command(OUTPUT ${QUIL_COMPLETIONS}/quil.bash ${QUIL_COMPLETIONS}/_quil ${QUIL_COMPLETIONS}/quil.fish
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUIL_COMPLETIONS}
  COMMAND quil_terminal --completion bash > ${QUIL_COMPLETIONS}/quil.bash
  COMMAND quil_terminal --completion zsh > ${QUIL_COMPLETIONS}/_quil
  COMMAND quil_terminal --completion fish > ${QUIL_COMPLETIONS}/quil.fish
  DEPENDS quil_terminal VERBATIM)
add_custom_target(completions ALL DEPENDS ${QUIL_COMPLETIONS}/quil.bash ${QUIL_COMPLETIONS}/_quil ${QUIL_COMPLETIONS}/quil.fish)
install(FILES ${QUIL_COMPLETIONS}/quil.bash DESTINATION share/bash-completion/completions RENAME quil)
install(FILES ${QUIL_COMPLETIONS}/_quil DESTINATION share/zsh/vendor-completions)
install(FILES ${QUIL_COMPLETIONS}/quil.fish DESTINATION share/fish/vendor_completions.d)
