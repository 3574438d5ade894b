# ostrel_source_commit(VAR SOURCE_DIR): sets VAR to the full id of the commit
# checked out in SOURCE_DIR, followed by "-modified" when tracked files differ
# from it (such a build is not that commit's), or to "unknown" outside a git
# checkout.
function(ostrel_source_commit var source_dir)
  execute_process(COMMAND git -C "${source_dir}" rev-parse --verify HEAD
                  OUTPUT_VARIABLE commit RESULT_VARIABLE failed
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(failed)
    set(${var} "unknown" PARENT_SCOPE)
    return()
  endif()
  # No optional locks: a build must not hold the index against the developer's git.
  execute_process(COMMAND git -C "${source_dir}" --no-optional-locks status --porcelain
                          --untracked-files=no
                  OUTPUT_VARIABLE changes RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR NOT changes STREQUAL "")
    string(APPEND commit "-modified")
  endif()
  set(${var} "${commit}" PARENT_SCOPE)
endfunction()
