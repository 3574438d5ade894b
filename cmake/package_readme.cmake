# Writes the operators' README.txt (OUTPUT, Windows line endings) from
# TEMPLATE: @PROJECT_VERSION@ is VERSION, @OSTREL_COMMIT@ the commit the
# sources in SOURCE_DIR come from, @OSTREL_CHANGES@ the section of VERSION in
# CHANGELOG. Run at every packaging, so that the commit is never an old one.
# Run as: cmake -DSOURCE_DIR=... -DTEMPLATE=... -DCHANGELOG=... -DVERSION=...
#               -DOUTPUT=... -P package_readme.cmake
include(${CMAKE_CURRENT_LIST_DIR}/source_commit.cmake)
ostrel_source_commit(OSTREL_COMMIT "${SOURCE_DIR}")
set(PROJECT_VERSION "${VERSION}")

# The section runs from its "## [VERSION]" heading to the next heading of
# that level or the link definitions at the end; the heading stays out.
file(STRINGS "${CHANGELOG}" lines ENCODING UTF-8)
set(OSTREL_CHANGES "")
set(inside FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^## \\[(.*)\\]")
    set(inside FALSE)
    if(CMAKE_MATCH_1 STREQUAL VERSION)
      set(inside TRUE)
      continue()
    endif()
  elseif(line MATCHES "^\\[.*\\]: ")
    set(inside FALSE)
  endif()
  if(inside)
    string(APPEND OSTREL_CHANGES "${line}\n")
  endif()
endforeach()
string(STRIP "${OSTREL_CHANGES}" OSTREL_CHANGES)
if(OSTREL_CHANGES STREQUAL "")
  message(FATAL_ERROR "${CHANGELOG} has no section \"## [${VERSION}]\": a release says what it brings")
endif()

configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY NEWLINE_STYLE CRLF)
