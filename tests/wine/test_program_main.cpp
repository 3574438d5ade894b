// The main of every Wine test program, which the self-test kit also runs on
// strangers' PCs, often as an administrator from a Downloads folder.

#include <gtest/gtest.h>

#include "common/com_apartment_win32.h"
#include "common/system_library_win32.h"

int main(int argc, char** argv) {
  // Before anything else loads: the device enumerator and the filter graph
  // the tests load in-process would otherwise look for their own DLLs in
  // the kit's folder first.
  RestrictDllSearchToSystemFolder();
  // COM once for the tests' thread, as the programs they test have it.
  const ComApartment com;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
