# The files of the operators' package, target ostrel_package: the stripped
# program, the operators' README (the operator guide with Windows line
# endings, naming the commit and carrying the version's changes) and the
# licence, in package-files. scripts/package.sh builds it, signs the program
# in a step of its own, with nothing of the build's environment, and packs
# dist/ostrel-<version>-win32.zip. Nothing of the simulated card goes in:
# images made for a virtual card must never reach a real one.
set(package_files ${PROJECT_BINARY_DIR}/package-files)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${package_files}/LICENSE COPYONLY)

if(CMAKE_STRIP)
  # MinGW's strip stamps the PE header with SOURCE_DATE_EPOCH, the commit's
  # time when scripts/package.sh runs it.
  set(take_program ${CMAKE_STRIP} -o ${package_files}/ostrel.exe $<TARGET_FILE:ostrel>)
else()
  # MSVC keeps the symbols apart from the program already.
  set(take_program ${CMAKE_COMMAND} -E copy $<TARGET_FILE:ostrel> ${package_files}/ostrel.exe)
endif()

add_custom_target(ostrel_package
  COMMAND ${take_program}
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DTEMPLATE=${PROJECT_SOURCE_DIR}/cmake/package_readme.txt.in
          -DGUIDE=${PROJECT_SOURCE_DIR}/docs/operator-guide.txt
          -DCHANGELOG=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DVERSION=${PROJECT_VERSION}
          -DOUTPUT=${package_files}/README.txt -P ${PROJECT_SOURCE_DIR}/cmake/package_readme.cmake
  DEPENDS ostrel
  VERBATIM
  COMMENT "The operators' package files in ${package_files}")
