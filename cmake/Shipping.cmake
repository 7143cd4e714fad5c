# ship_stripped(<target>): <target> is linked into the symbols folder
# (SYMBOLS_DIR) and copied without symbols into the dist folder (DIST_DIR).
function(ship_stripped target)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SYMBOLS_DIR})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${DIST_DIR}
        COMMAND ${CMAKE_STRIP} --strip-all -o ${DIST_DIR}/$<TARGET_FILE_NAME:${target}> $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()
