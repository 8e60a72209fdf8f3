# The man pages, from their scdoc sources, installed under share/man/man1.
find_program(SCDOC scdoc REQUIRED)
set(QUIL_MAN_PAGES)
foreach(page quil.1 quillane.1)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.scd)
  set(output ${PROJECT_BINARY_DIR}/man/${page})
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${SCDOC} < ${source} > ${output}
    DEPENDS ${source} VERBATIM)
  list(APPEND QUIL_MAN_PAGES ${output})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${QUIL_MAN_PAGES})
install(FILES ${QUIL_MAN_PAGES} DESTINATION share/man/man1)

# The shell completions, where each shell looks for them.
install(FILES ${PROJECT_SOURCE_DIR}/res/completions/quil.bash DESTINATION share/bash-completion/completions
        RENAME quil)
install(FILES ${PROJECT_SOURCE_DIR}/res/completions/_quil DESTINATION share/zsh/vendor-completions)
install(FILES ${PROJECT_SOURCE_DIR}/res/completions/quil.fish DESTINATION share/fish/vendor_completions.d)
