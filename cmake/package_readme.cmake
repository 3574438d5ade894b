# Writes the operators' README.txt (OUTPUT, Windows line endings) from
# TEMPLATE: @PROJECT_VERSION@ is VERSION, @OSTREL_COMMIT@ the commit the
# sources in SOURCE_DIR come from, @OSTREL_GUIDE@ the operator guide (GUIDE),
# @OSTREL_CHANGES@ the section of VERSION in CHANGELOG. Run at every
# packaging, so that the commit is never an old one.
# Run as: cmake -DSOURCE_DIR=... -DTEMPLATE=... -DGUIDE=... -DCHANGELOG=...
#               -DVERSION=... -DOUTPUT=... -P package_readme.cmake
#
# A release is the commit whose CHANGELOG dates its version ("## [VERSION] -
# date"). Between releases main carries the next version with its changes
# under "## [Unreleased]": such a build says so on README.txt's first line,
# so that it is never taken for the release of that version.
include(${CMAKE_CURRENT_LIST_DIR}/source_commit.cmake)
ostrel_source_commit(OSTREL_COMMIT "${SOURCE_DIR}")
set(PROJECT_VERSION "${VERSION}")

# The section runs from its "## [NAME]" heading to the next heading of that
# level or the link definitions at the end; the heading stays out.
function(changelog_section name lines result)
  set(section "")
  set(inside FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^## \\[(.*)\\]")
      set(inside FALSE)
      if(CMAKE_MATCH_1 STREQUAL name)
        set(inside TRUE)
        continue()
      endif()
    elseif(line MATCHES "^\\[.*\\]: ")
      set(inside FALSE)
    endif()
    if(inside)
      string(APPEND section "${line}\n")
    endif()
  endforeach()
  string(STRIP "${section}" section)
  set(${result} "${section}" PARENT_SCOPE)
endfunction()

file(STRINGS "${CHANGELOG}" lines ENCODING UTF-8)
changelog_section("${VERSION}" "${lines}" OSTREL_CHANGES)
set(OSTREL_BUILD_NOTE "")
if(OSTREL_CHANGES STREQUAL "")
  changelog_section("Unreleased" "${lines}" unreleased)
  if(unreleased STREQUAL "")
    message(FATAL_ERROR "${CHANGELOG} has neither a section \"## [${VERSION}]\" nor "
                        "\"## [Unreleased]\": a build says what it brings")
  endif()
  set(OSTREL_BUILD_NOTE ", development build")
  string(CONCAT OSTREL_CHANGES "Not a release: a development build of version ${VERSION}, with the\n"
                "changes made since the last release.\n\n" "${unreleased}")
endif()

file(READ "${GUIDE}" OSTREL_GUIDE)
string(STRIP "${OSTREL_GUIDE}" OSTREL_GUIDE)

# Windows line endings throughout, the guide's and the changes' lines too
# (configure_file's NEWLINE_STYLE would convert only the template's own).
file(READ "${TEMPLATE}" template)
string(CONFIGURE "${template}" readme @ONLY)
string(REPLACE "\r\n" "\n" readme "${readme}")
string(REPLACE "\n" "\r\n" readme "${readme}")
file(WRITE "${OUTPUT}" "${readme}")
