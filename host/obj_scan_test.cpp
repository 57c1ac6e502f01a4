#include "host/obj_scan.h"

#include <gtest/gtest.h>

#include <string>

#include "sdk/testing/scratch_dir.h"

namespace host {
namespace {

// Lines are counted as std::getline counts them, also where they cross the
// reader's blocks, are longer than a block, end in "\r\n" or lack a final
// line break.
TEST(ObjScan, CountsLinesAcrossBlocksWhateverTheirEndings) {
  ScratchDir dir;
  std::string text = "# " + std::string(3 << 20, 'x') + "\n";  // line 1, longer than a block
  text += "v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\n";                  // lines 2-4
  text += "s 3\n";                                            // line 5
  text += "f 1 2 3\n";                                        // line 6
  for (int i = 0; i < 200000; ++i) text += "vn 0 0 1\n";      // lines 7-200006
  text += "usemtl a\nusemtl b\nusemtl a\n";                    // lines 200007-200009
  text += "f 1//1 2//9999999 3//1\n";                           // line 200010: normal out of range
  text += "f 1 2 4";                                            // line 200011, no line break
  const std::string path = dir.File("big.obj");
  WriteBytes(path, text);

  ObjScan scan;
  std::string error;
  ASSERT_TRUE(ScanObj(path, scan, &error)) << error;
  EXPECT_EQ(scan.faces, 3u);
  EXPECT_EQ(scan.materialNames, 2u);
  ASSERT_EQ(scan.elements.size(), 3u);
  EXPECT_EQ(scan.elements[0].corners, 3u);
  EXPECT_EQ(scan.elements[0].label, 3u);
  ASSERT_TRUE(scan.elements[0].first.has_value());
  EXPECT_EQ(*scan.elements[0].first, Point3(0, 0, 0));
  ASSERT_EQ(scan.warnings.size(), 2u);
  EXPECT_EQ(scan.warnings[0], "line 200010: normal index 9999999 is out of range (the file has 200000)");
  EXPECT_EQ(scan.warnings[1], "line 200011: vertex index 4 is out of range (the file has 3)");

  EXPECT_FALSE(ScanObj(dir.File("missing.obj"), scan, &error));
  EXPECT_EQ(error, "cannot be read");
}

}  // namespace
}  // namespace host
