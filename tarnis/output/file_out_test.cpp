#include "tarnis/output/file_out.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "sdk/class_desc.h"
#include "sdk/notify.h"
#include "sdk/ref_graph.h"
#include "sdk/save_load.h"
#include "sdk/testing/fake_interface.h"
#include "sdk/testing/scratch_dir.h"
#include "tarnis/line/output/vector_sinks.h"
#include "tarnis/output/file_out_class_desc.h"
#include "tarnis/output/vector_file_checks.h"

namespace tarnis {
namespace {

constexpr int kW = 64, kH = 48;
constexpr int kVisible = 0, kHidden = 1;

// A host that has a folder for rendered images and records the files
// plug-ins could not write.
class OutputHost : public FakeInterface {
 public:
  std::string GetDir(int which) override {
    return which == APP_RENDER_OUTPUT_DIR ? renderDir : FakeInterface::GetDir(which);
  }
  void OutputFailed(const char* path, const char* reason) override {
    failures.push_back({path, reason});
  }
  std::string renderDir;
  std::vector<std::array<std::string, 2>> failures;
};

// Line sets and their parts are told apart only by address here.
template <class T>
T* Fake(int n) {
  static char slots[8];
  return reinterpret_cast<T*>(&slots[n]);
}
LineSet* const kSetA = Fake<LineSet>(0);
LineSet* const kSetB = Fake<LineSet>(1);
LineSetting* const kPart1 = Fake<LineSetting>(2);
LineSetting* const kPart2 = Fake<LineSetting>(3);

using Piece = std::array<float, 4>;

// Drives the outputs as a render does: the host's notifications and a line
// effect's calls through the registered vector sinks.
class FileOutTest : public ::testing::Test {
 protected:
  FileOut* NewOutput(int type, const std::string& fileName, bool visible = true,
                     bool hidden = true) {
    auto* out = new FileOut;
    holders_.push_back(std::make_unique<ReferenceHolder>(out));
    out->FileBlock()->SetValue(kFileOutFileType, 0, type);
    out->FileBlock()->SetValue(kFileOutFileName, 0, fileName);
    out->LineBlock()->SetValue(kFileOutLineEnable, 0, visible ? 1 : 0);
    out->LineBlock()->SetValue(kFileOutHiddenLineEnable, 0, hidden ? 1 : 0);
    host_.effects.push_back(out);
    return out;
  }

  void StartRender(bool singleFrame, bool withParams = true) {
    params_.singleFrame = singleFrame;
    BroadcastNotification(NOTIFY_PRE_RENDER, withParams ? &params_ : nullptr);
  }
  // The notifications around the frame's rendering; the lines come after.
  void RenderFrame() {
    BroadcastNotification(NOTIFY_PRE_RENDERFRAME);
    BroadcastNotification(NOTIFY_POST_RENDERFRAME);
  }
  void EndRender() { BroadcastNotification(NOTIFY_POST_RENDER, &params_); }

  void PassStart(int frame) {
    for (LineVectorSink* s : VectorSinks()) s->FrameStart(frame * GetTicksPerFrame(), kW, kH);
  }
  void LineSetStart(LineSet* set, const std::string& name, LineSetting* part, int visibility) {
    for (LineVectorSink* s : VectorSinks()) s->LineSetStart(set, name, part, visibility);
  }
  void Stroke(int visibility, const Color& colour, std::vector<Piece> pieces, bool painted = true) {
    for (LineVectorSink* s : VectorSinks()) {
      s->StrokeStart(visibility, 2.0f, colour, 0.5f, false, 0.0f, 0.0f);
      for (const Piece& p : pieces) s->Segment(p[0], p[1], p[2], p[3]);
      if (painted) s->StrokeEnd();
    }
  }
  void PassEnd() {
    for (LineVectorSink* s : VectorSinks()) s->PassEnd();
  }
  // A frame whose one line effect draws one visible stroke.
  void SimpleFrame(int frame) {
    RenderFrame();
    PassStart(frame);
    LineSetStart(kSetA, "Objects", kPart1, kVisible);
    Stroke(kVisible, Color(0, 0, 0), {{10, 12, 50, 12}});
    PassEnd();
  }

  std::string Read(const std::string& name) { return ReadBytes(dir_.File(name)); }

  ScratchDir dir_;
  OutputHost host_;
  RendParams params_;
  std::vector<std::unique_ptr<ReferenceHolder>> holders_;
};

// The matches of group 1 of `pattern` in `text`, in order.
std::vector<std::string> AllMatches(const std::string& text, const std::string& pattern) {
  std::vector<std::string> out;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it) {
    out.push_back((*it)[1]);
  }
  return out;
}

TEST(FileOutClass, ItsDescriptorMakesAnOutputWithBothBlocksAtTheirDefaults) {
  ClassDesc2* desc = GetFileOutDesc();
  EXPECT_EQ(desc->ClassID(), Class_ID(0x8EFB0A76, 0xB9BAC05D));
  EXPECT_EQ(desc->SuperClassID(), RENDER_EFFECT_CLASS_ID);
  EXPECT_STREQ(desc->InternalName(), "Tarnis_FileOut");
  EXPECT_EQ(desc->IsPublic(), 1);
  ASSERT_EQ(desc->NumParamBlockDescs(), 2);
  ReferenceHolder holder(static_cast<ReferenceTarget*>(desc->Create(false)));
  auto* out = holder.GetAs<FileOut>();
  ASSERT_NE(out, nullptr);
  ASSERT_NE(out->FileBlock(), nullptr);
  ASSERT_NE(out->LineBlock(), nullptr);
  EXPECT_EQ(out->FileBlock()->GetDesc()->InternalName(), "tarnis_fileout");
  EXPECT_EQ(out->LineBlock()->GetDesc()->InternalName(), "tarnis_fileout_line");
  EXPECT_EQ(out->FileBlock()->GetInt(kFileOutFileType), kFileTypeIllustratorEps);
  EXPECT_EQ(out->FileBlock()->GetStr(kFileOutFileName), "");
  EXPECT_EQ(out->LineBlock()->GetInt(kFileOutLineEnable), 1);
  EXPECT_EQ(out->LineBlock()->GetInt(kFileOutHiddenLineEnable), 1);
  // The type range takes SVG and no more.
  out->FileBlock()->SetValue(kFileOutFileType, 0, 7);
  EXPECT_EQ(out->FileBlock()->GetInt(kFileOutFileType), kFileTypeSvg);
  const ParamDef* type = FileOutBlockDesc()->GetParamDef(kFileOutFileType);
  EXPECT_EQ(type->ui.control, ParamControl::kCombo);
  ASSERT_EQ(type->ui.items.size(), 3u);
  EXPECT_EQ(type->ui.items[2], "Scalable Vector Graphics (*.svg)");
  EXPECT_TRUE(FileOutLineBlockDesc()->GetParamDef(kFileOutLineEnable)->flags & P_ANIMATABLE);
  EXPECT_STREQ(FileOutParamDisplayName(kFileOutLineBlockID, kFileOutHiddenLineEnable),
               "HIDEN_LINE_ENABLE");
  EXPECT_STREQ(FileOutParamDisplayName(kFileOutBlockID, kFileOutFileName), "FILE_NAME");
  // Writing leaves the image alone; no image is even needed.
  out->Apply(0, nullptr, nullptr, nullptr);
}

TEST(FileOutClass, SaveLoadAndCloneKeepTheParametersAndTheOnState) {
  GetClassDirectory().AddClass(GetFileOutDesc());
  ReferenceHolder holder(new FileOut);
  auto* out = holder.GetAs<FileOut>();
  out->FileBlock()->SetValue(kFileOutFileType, 0, kFileTypeSvg);
  out->FileBlock()->SetValue(kFileOutFileName, 0, "lines/out.svg");
  out->LineBlock()->SetValue(kFileOutLineEnable, 0, 0);
  out->SetOn(false);

  MemorySave saved;
  ReferenceTarget* roots[] = {out};
  std::string error;
  ASSERT_TRUE(SaveReferenceGraph(saved, roots, &error)) << error;
  GraphLoadResult loaded = LoadReferenceGraph(saved.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  ReferenceHolder clone(CloneRefHierarchy(out));
  for (auto* copy : {dynamic_cast<FileOut*>(loaded.graph->Root(0)), clone.GetAs<FileOut>()}) {
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy->FileBlock(), out->FileBlock());
    EXPECT_EQ(copy->FileBlock()->GetInt(kFileOutFileType), kFileTypeSvg);
    EXPECT_EQ(copy->FileBlock()->GetStr(kFileOutFileName), "lines/out.svg");
    EXPECT_EQ(copy->LineBlock()->GetInt(kFileOutLineEnable), 0);
    EXPECT_EQ(copy->LineBlock()->GetInt(kFileOutHiddenLineEnable), 1);
    EXPECT_FALSE(copy->IsOn());
  }
}

TEST(FileOutClass, TheFirstOutputSignsUpForStrokesAndTheLastSignsOff) {
  const size_t before = VectorSinks().size();
  auto first = std::make_unique<ReferenceHolder>(new FileOut);
  ASSERT_EQ(VectorSinks().size(), before + 1);
  auto second = std::make_unique<ReferenceHolder>(new FileOut);
  EXPECT_EQ(VectorSinks().size(), before + 1);
  first.reset();
  EXPECT_EQ(VectorSinks().size(), before + 1);
  second.reset();
  EXPECT_EQ(VectorSinks().size(), before);
  // Nothing listens any more: a render goes by without reaching freed outputs.
  RendParams params;
  BroadcastNotification(NOTIFY_PRE_RENDER, &params);
  BroadcastNotification(NOTIFY_POST_RENDER, &params);
}

TEST(FileOutClass, LayerNamesMarkHiddenLinesAndStayWithinTheLimit) {
  EXPECT_EQ(FileOutLayerName("Objects", false), "Objects");
  EXPECT_EQ(FileOutLayerName("Objects", true), "Objects(hidden)");
  const std::string longName(300, 'x');
  EXPECT_EQ(FileOutLayerName(longName, false), std::string(255, 'x'));
  EXPECT_EQ(FileOutLayerName(longName, true), std::string(247, 'x') + "(hidden)");
  // 100 three-byte characters: the cut falls between two of them.
  std::string japanese;
  for (int i = 0; i < 100; ++i) japanese += "セ";
  EXPECT_EQ(FileOutLayerName(japanese, true).size(), 246u + 8u);
  EXPECT_EQ(MakeVectorWriter(kNumFileOutTypes), nullptr);
  EXPECT_EQ(MakeVectorWriter(-1), nullptr);
  EXPECT_TRUE(MakeVectorWriter(kFileTypeIllustratorEps)->SupportsLayers());
}

TEST_F(FileOutTest, ASequenceNumbersItsFilesAndWritesEachBeforeTheNextFrame) {
  NewOutput(kFileTypePlainEps, dir_.File("lines.eps"));
  StartRender(false);
  SimpleFrame(7);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("lines0007.eps")));
  SimpleFrame(12345);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("lines0007.eps")));
  EndRender();
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"lines0007.eps", "lines12345.eps"}));
  const std::string text = Read("lines12345.eps");
  EXPECT_NE(text.find("%%BoundingBox: 0 0 64 48\n"), std::string::npos);
  EXPECT_NE(text.find("10 12 m\n50 12 l\nS\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("%%EOF\n"));
  testing::ExpectGhostscriptReads(dir_.File("lines12345.eps"));

  StartRender(true);
  SimpleFrame(7);
  EndRender();
  EXPECT_TRUE(std::filesystem::exists(dir_.File("lines.eps")));
  EXPECT_TRUE(host_.failures.empty());
}

TEST_F(FileOutTest, LaterLineSetsAndPartsGoFirstAndHiddenLinesAfterVisibleOnes) {
  NewOutput(kFileTypeIllustratorEps, dir_.File("order.eps"));
  StartRender(true);
  RenderFrame();
  PassStart(0);
  LineSetStart(kSetA, "A", kPart1, kVisible);
  Stroke(kVisible, Color(0.1f, 0, 0), {{1, 1, 2, 2}});
  LineSetStart(kSetA, "A", kPart2, kVisible);
  Stroke(kVisible, Color(0.2f, 0, 0), {{1, 1, 2, 2}});
  LineSetStart(kSetB, "B", kPart1, kVisible);
  Stroke(kVisible, Color(0.3f, 0, 0), {{1, 1, 2, 2}});
  LineSetStart(kSetA, "A", kPart1, kHidden);
  Stroke(kHidden, Color(0.4f, 0, 0), {{1, 1, 2, 2}});
  LineSetStart(kSetB, "B", kPart1, kHidden);
  Stroke(kHidden, Color(0.5f, 0, 0), {{1, 1, 2, 2}});
  PassEnd();
  EndRender();
  const std::string text = Read("order.eps");
  EXPECT_EQ(AllMatches(text, "\\n\\((.*)\\) Ln\\n"),
            (std::vector<std::string>{"B", "A", "B(hidden)", "A(hidden)"}));
  EXPECT_EQ(AllMatches(text, "\\n0 0 0 0 ([0-9.]+) 0 0 XA\\n"),
            (std::vector<std::string>{"0.3", "0.2", "0.1", "0.5", "0.4"}));
  testing::ExpectGhostscriptReads(dir_.File("order.eps"));
}

TEST_F(FileOutTest, EveryRunOfStrokesStartsWithItsOwnLookWhereverItLands) {
  // Strokes that look alike set their look once, but a part that lands in
  // front of another one's strokes must still set it: the file would
  // otherwise draw it in the page's defaults (width 1, black).
  NewOutput(kFileTypePlainEps, dir_.File("looks.eps"));
  StartRender(true);
  RenderFrame();
  PassStart(0);
  const Color red(1, 0, 0);
  LineSetStart(kSetA, "A", kPart1, kVisible);
  Stroke(kVisible, red, {{1, 1, 2, 2}});
  Stroke(kVisible, red, {{3, 3, 4, 4}});
  LineSetStart(kSetA, "A", kPart2, kVisible);
  Stroke(kVisible, red, {{5, 5, 6, 6}});
  PassEnd();
  EndRender();
  const std::string text = Read("looks.eps");
  const size_t width = text.find("\n2 w\n"), colour = text.find("\n1 0 0 _c\n");
  // The second part's stroke comes first in the file.
  const size_t first = text.find("\n5 5 m\n");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_LT(first, text.find("\n1 1 m\n")) << text;
  EXPECT_LT(width, first) << text;
  EXPECT_LT(colour, first) << text;
  // Three strokes of one look: the look is written once.
  EXPECT_EQ(AllMatches(text, "\n([0-9.]+) w\n").size(), 1u) << text;
  EXPECT_EQ(AllMatches(text, "\n(1 0 0) _c\n").size(), 1u) << text;
  EXPECT_EQ(AllMatches(text, "\n(S)\n").size(), 3u) << text;
}

TEST_F(FileOutTest, WithVisibleLinesOffOnlyHiddenLayersAreWritten) {
  NewOutput(kFileTypeIllustratorEps, dir_.File("hidden.eps"), false, true);
  StartRender(true);
  RenderFrame();
  PassStart(0);
  LineSetStart(kSetA, "Objects", kPart1, kVisible);
  Stroke(kVisible, Color(0.1f, 0, 0), {{1, 1, 2, 2}});
  LineSetStart(kSetA, "Objects", kPart1, kHidden);
  Stroke(kHidden, Color(0.4f, 0, 0), {{3, 3, 4, 4}});
  LineSetStart(kSetB, "Ground", kPart1, kVisible);
  Stroke(kVisible, Color(0.2f, 0, 0), {{1, 1, 2, 2}});
  PassEnd();
  EndRender();
  const std::string text = Read("hidden.eps");
  EXPECT_EQ(AllMatches(text, "\\n\\((.*)\\) Ln\\n"), (std::vector<std::string>{"Objects(hidden)"}));
  EXPECT_EQ(AllMatches(text, "\\n0 0 0 0 ([0-9.]+) 0 0 XA\\n"), (std::vector<std::string>{"0.4"}));
  // The one layer's clip, then the hidden stroke (y turned upward on the page).
  EXPECT_EQ(AllMatches(text, "\\n([0-9 ]+) m\\n"), (std::vector<std::string>{"0 0", "3 45"}));
}

TEST_F(FileOutTest, TwoLineEffectsInAFrameSetUpThePageOnce) {
  NewOutput(kFileTypePlainEps, dir_.File("two.eps"));
  StartRender(true);
  RenderFrame();
  PassStart(0);
  LineSetStart(kSetA, "A", kPart1, kVisible);
  Stroke(kVisible, Color(0, 0, 0), {{1, 1, 2, 2}});
  PassEnd();
  PassStart(0);
  LineSetStart(kSetB, "B", kPart1, kVisible);
  Stroke(kVisible, Color(0, 0, 0), {{5, 5, 6, 6}});
  PassEnd();
  EndRender();
  const std::string text = Read("two.eps");
  for (const char* once : {"\n0 48 _t\n", "\n1 -1 _s\n", "\nW\n", "\n1 j\n", "\n1 J\n"}) {
    const size_t first = text.find(once);
    EXPECT_NE(first, std::string::npos) << once;
    EXPECT_EQ(text.find(once, first + 1), std::string::npos) << once;
  }
  // The second effect's strokes follow the first's.
  EXPECT_LT(text.find("1 1 m\n"), text.find("5 5 m\n"));
}

TEST_F(FileOutTest, AFileThatCannotBeWrittenIsReportedAndItsCommandsDropped) {
  WriteBytes(dir_.File("blocked"), "a file, not a folder");
  FileOut* out = NewOutput(kFileTypePlainEps, dir_.File("blocked/lines.eps"));
  StartRender(false);
  SimpleFrame(1);
  SimpleFrame(2);
  ASSERT_EQ(host_.failures.size(), 1u);
  EXPECT_EQ(host_.failures[0][0], dir_.File("blocked/lines0001.eps"));
  EXPECT_FALSE(host_.failures[0][1].empty());
  // The frame that failed is gone; the next frame's commands are its own.
  ASSERT_NE(out->Writer(), nullptr);
  EXPECT_EQ(out->Writer()->Commands().size(), 13u);
  EndRender();
  ASSERT_EQ(host_.failures.size(), 2u);
  EXPECT_EQ(host_.failures[1][0], dir_.File("blocked/lines0002.eps"));
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"blocked"});
}

TEST_F(FileOutTest, ARelativeNameLiesBesideTheImagesInAFolderMadeForIt) {
  host_.renderDir = dir_.File("out");
  NewOutput(kFileTypeSvg, "vector/lines.svg");
  StartRender(false);
  RenderFrame();
  PassStart(3);
  LineSetStart(kSetA, "Objects", kPart1, kVisible);
  Stroke(kVisible, Color(0, 0, 1), {{10, 12, 20, 12}, {20.004f, 12, 20, 30}, {20, 30, 40, 44}});
  LineSetStart(kSetA, "Objects", kPart1, kHidden);
  Stroke(kHidden, Color(0, 0, 1), {{1.5f, 2.25f, 3, 4}});
  PassEnd();
  EndRender();
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.File("out/vector")))
    files.push_back(entry.path().filename().string());
  EXPECT_EQ(files, std::vector<std::string>{"lines0003.svg"});
  std::string problem;
  const std::string text = ReadBytes(dir_.File("out/vector/lines0003.svg"));
  std::unique_ptr<testing::XmlElement> root = testing::XmlReader(text).Read(&problem);
  ASSERT_TRUE(root) << problem << "\n" << text;
  std::vector<const testing::XmlElement*> paths, groups;
  root->FindAll("path", paths);
  root->FindAll("g", groups);
  ASSERT_EQ(paths.size(), 2u);
  // The points fed in, in image pixels: the pieces that meet form one path.
  EXPECT_EQ(paths[0]->Attr("d"), "M 10 12 L 20 12 L 20 30 L 40 44");
  EXPECT_EQ(paths[0]->Attr("stroke"), "#0000ff");
  EXPECT_EQ(paths[0]->Attr("stroke-opacity"), "0.5");
  EXPECT_EQ(paths[1]->Attr("d"), "M 1.5 2.25 L 3 4");
  std::vector<std::string> labels;
  for (const auto* g : groups) {
    if (!g->Attr("inkscape:label").empty()) labels.push_back(g->Attr("inkscape:label"));
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"Objects", "Objects(hidden)"}));
}

TEST_F(FileOutTest, ACancelledFrameIsNotWrittenButAFinishedOneIs) {
  NewOutput(kFileTypePlainEps, dir_.File("lines.eps"));
  StartRender(false);
  SimpleFrame(1);
  RenderFrame();
  PassStart(2);
  LineSetStart(kSetA, "Objects", kPart1, kVisible);
  Stroke(kVisible, Color(0, 0, 0), {{1, 1, 2, 2}});
  host_.cancel = true;  // during the lines of frame 2
  PassEnd();
  EndRender();
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"lines0001.eps"});

  // Cancelled after the frame's lines were done (while its image was being
  // written): the frame is whole and gets its file.
  host_.cancel = false;
  StartRender(false);
  SimpleFrame(5);
  host_.cancel = true;
  EndRender();
  EXPECT_TRUE(std::filesystem::exists(dir_.File("lines0005.eps")));
}

TEST_F(FileOutTest, EveryOutputOnAndInTheEffectListCollectsTheSameStrokes) {
  NewOutput(kFileTypePlainEps, dir_.File("first.eps"));
  NewOutput(kFileTypePlainEps, dir_.File("second.eps"));
  NewOutput(kFileTypePlainEps, dir_.File("off.eps"))->SetOn(false);
  NewOutput(kFileTypePlainEps, dir_.File("unlisted.eps"));
  host_.effects.pop_back();
  StartRender(true);
  SimpleFrame(0);
  EndRender();
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"first.eps", "second.eps"}));
  EXPECT_EQ(Read("first.eps"), Read("second.eps"));
}

TEST_F(FileOutTest, NoRenderDataOrNoFileNameMeansNoOutput) {
  FileOut* unnamed = NewOutput(kFileTypePlainEps, "");
  FileOut* named = NewOutput(kFileTypePlainEps, dir_.File("lines.eps"));
  StartRender(true, /*withParams=*/false);
  EXPECT_EQ(named->Writer(), nullptr);
  SimpleFrame(0);
  EndRender();
  StartRender(true);
  EXPECT_EQ(unnamed->Writer(), nullptr);
  EXPECT_NE(named->Writer(), nullptr);
  EndRender();
  EXPECT_TRUE(dir_.Entries().empty());
  EXPECT_TRUE(host_.failures.empty());
}

TEST_F(FileOutTest, StrokesThatPaintNothingLeaveNoTrace) {
  NewOutput(kFileTypeIllustratorEps, dir_.File("painted.eps"));
  StartRender(true);
  RenderFrame();
  PassStart(0);
  LineSetStart(kSetA, "Objects", kPart1, kVisible);
  Stroke(kVisible, Color(0.1f, 0, 0), {{1, 1, 2, 2}}, /*painted=*/false);
  Stroke(kVisible, Color(0.2f, 0, 0), {{3, 3, 4, 4}, {4, 4, NAN, 5}});
  Stroke(kVisible, Color(0.3f, 0, 0), {{5, 5, 6, 6}}, /*painted=*/false);
  PassEnd();
  EndRender();
  const std::string text = Read("painted.eps");
  EXPECT_EQ(AllMatches(text, "\\n0 0 0 0 ([0-9.]+) 0 0 XA\\n"), std::vector<std::string>{"0.2"});
  EXPECT_EQ(AllMatches(text, "\\n([0-9 ]+) m\\n"), (std::vector<std::string>{"0 0", "3 45"}));
  EXPECT_EQ(text.find("nan"), std::string::npos);
  testing::ExpectGhostscriptReads(dir_.File("painted.eps"));
}

}  // namespace
}  // namespace tarnis
