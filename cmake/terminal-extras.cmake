# The man pages, from their scdoc sources, installed under share/man/man1
# compressed, as Debian installs them (gzip -n: the same bytes every build).
find_program(SCDOC scdoc REQUIRED)
find_program(GZIP gzip REQUIRED)
set(QUIL_MAN_PAGES)
foreach(page quil.1 quillane.1)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.scd)
  set(output ${PROJECT_BINARY_DIR}/man/${page})
  add_custom_command(OUTPUT ${output} ${output}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${SCDOC} < ${source} > ${output}
    COMMAND ${GZIP} -9 -n -c ${output} > ${output}.gz
    DEPENDS ${source} VERBATIM)
  list(APPEND QUIL_MAN_PAGES ${output}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${QUIL_MAN_PAGES})
install(FILES ${QUIL_MAN_PAGES} DESTINATION share/man/man1)

# The shell completions, where each shell looks for them.
install(FILES ${PROJECT_SOURCE_DIR}/res/completions/quil.bash DESTINATION share/bash-completion/completions
        RENAME quil)
install(FILES ${PROJECT_SOURCE_DIR}/res/completions/_quil DESTINATION share/zsh/vendor-completions)
install(FILES ${PROJECT_SOURCE_DIR}/res/completions/quil.fish DESTINATION share/fish/vendor_completions.d)
