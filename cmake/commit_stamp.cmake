# Writes OUTPUT from TEMPLATE with @OSTREL_COMMIT@, the commit the sources in
# SOURCE_DIR come from. Run at every build; OUTPUT is rewritten only when the
# commit changed, so that only then the resources are compiled again.
# Run as: cmake -DSOURCE_DIR=... -DTEMPLATE=... -DOUTPUT=... -P commit_stamp.cmake
include(${CMAKE_CURRENT_LIST_DIR}/source_commit.cmake)
ostrel_source_commit(OSTREL_COMMIT "${SOURCE_DIR}")
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
