# The operators' package, target ostrel_package (scripts/package.sh builds
# it): dist/ostrel-<version>-win32.zip with the stripped program, the
# operators' README (the operator guide with Windows line endings, naming the
# commit and carrying the version's changes), the licence and SHA256SUMS.
# Nothing of the simulated card goes in: images made for a virtual card must
# never reach a real one.
#
# The program is signed, when the maintainers configure a key, before it goes
# into any archive (scripts/sign_program.py); every archive takes it from
# package-files afterwards.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(package_files ${PROJECT_BINARY_DIR}/package-files)
set(package_archive ${PROJECT_SOURCE_DIR}/dist/ostrel-${PROJECT_VERSION}-win32.zip)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${package_files}/LICENSE COPYONLY)

if(CMAKE_STRIP)
  # MinGW's strip stamps the PE header with SOURCE_DATE_EPOCH, the commit's
  # time when scripts/package.sh runs it.
  set(take_program ${CMAKE_STRIP} -o ${package_files}/ostrel.exe $<TARGET_FILE:ostrel>)
else()
  # MSVC keeps the symbols apart from the program already.
  set(take_program ${CMAKE_COMMAND} -E copy $<TARGET_FILE:ostrel> ${package_files}/ostrel.exe)
endif()

# The archive of an earlier run goes first: a packaging that fails, at the
# signature say, must leave no archive that could be taken for its result.
add_custom_target(ostrel_package
  COMMAND ${CMAKE_COMMAND} -E rm -f ${package_archive}
  COMMAND ${take_program}
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -DTEMPLATE=${PROJECT_SOURCE_DIR}/cmake/package_readme.txt.in
          -DGUIDE=${PROJECT_SOURCE_DIR}/docs/operator-guide.txt
          -DCHANGELOG=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DVERSION=${PROJECT_VERSION}
          -DOUTPUT=${package_files}/README.txt -P ${PROJECT_SOURCE_DIR}/cmake/package_readme.cmake
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/sign_program.py
          ${package_files}/ostrel.exe
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/make_package.py ${package_archive}
          ${package_files}/ostrel.exe ${package_files}/README.txt ${package_files}/LICENSE
  DEPENDS ostrel
  VERBATIM
  COMMENT "Packing dist/ostrel-${PROJECT_VERSION}-win32.zip")

# Two builds of the package from clones in different folders must give the
# same bytes. Costs two builds of the program.
add_test(NAME Package.Reproducible COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-reproducible.sh)
set_tests_properties(Package.Reproducible PROPERTIES TIMEOUT 1800 SKIP_RETURN_CODE 77
                                                      RESOURCE_LOCK both_cores COST 160)
