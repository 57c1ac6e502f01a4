// Tests of the one-time set-up: the probe, reading the user's defaults,
// the notification handlers and the descriptors it hands out.
#include "tarnis/plugin/plugin_setup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>

#include "sdk/notify.h"
#include "sdk/testing/fake_interface.h"
#include "sdk/testing/scratch_dir.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/common/shape_control.h"
#include "tarnis/common/shape_control_class_desc.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/brush/brush_params.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/param_linking.h"
#include "tarnis/line/effect/setting_holder.h"
#include "tarnis/line/engine/line_engine.h"
#include "tarnis/material/tarmat_class_desc.h"
#include "tarnis/plugin/class_table.h"
#include "tarnis/plugin/param_set_clipboard.h"

namespace tarnis {
namespace {

// A host whose class directory answers the probe as the test says.
class ProbeHost : public FakeInterface {
 public:
  int AddClass(ClassDesc2* cd) override {
    offered.push_back(cd);
    return answer;
  }
  bool DeleteClass(ClassDesc2* cd) override {
    withdrawn.push_back(cd);
    return true;
  }
  int answer = 1;
  std::vector<ClassDesc2*> offered;
  std::vector<ClassDesc2*> withdrawn;
};

class PluginSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(MotionDetectionLock(), nullptr) << "a test left the lock behind";
    sizeDefault_ = BrushBlockDesc(kBrushBlockParameters)->GetParamDef(kBrushMapSize)->def;
  }
  void TearDown() override {
    // The brush descriptors are the process's own: put their default back.
    BrushBlockDesc(kBrushBlockParameters)->SetDefault(kBrushMapSize, sizeDefault_);
    SetParamLinking(true);
  }

  std::unique_ptr<PluginSetup> MakeSetup() {
    return std::make_unique<PluginSetup>(
        SetupContext{.ip = &host,
                     .settingsDir = [this] { return dir.Path().string(); },
                     .classes = ClassTable()});
  }
  std::string Key(const char* file, const char* section, const char* key) {
    IniHandler ini(dir.File(file));
    return ini.ReadValue(section, key).value_or("<missing>");
  }
  float SizeDefault() {
    return BrushBlockDesc(kBrushBlockParameters)->GetParamDef(kBrushMapSize)->def.Get<float>();
  }

  ProbeHost host;
  ScratchDir dir;
  PB2Value sizeDefault_;
};

TEST_F(PluginSetupTest, ProbesOnceAndHandsOutTheClassTable) {
  auto setup = MakeSetup();
  EXPECT_FALSE(setup->Done());
  const auto& table = ClassTable();
  for (int i = 0; i < static_cast<int>(table.size()); ++i) {
    EXPECT_EQ(setup->ClassDesc(i), table[static_cast<size_t>(i)]) << i;
  }
  EXPECT_EQ(setup->ClassDesc(-1), nullptr);
  EXPECT_EQ(setup->ClassDesc(static_cast<int>(table.size())), nullptr);
  EXPECT_TRUE(setup->Done());
  EXPECT_TRUE(setup->ProbeAccepted());
  // The toon material's descriptor was offered and withdrawn again, once.
  ClassDesc2* toon = GetTarmatDesc();
  EXPECT_EQ(host.offered, std::vector<ClassDesc2*>{toon});
  EXPECT_EQ(host.withdrawn, std::vector<ClassDesc2*>{toon});
  // The descriptors handed out have their blocks bound.
  EXPECT_EQ(GetQvPolygonCtrlDesc()->GetParamBlockDescByID(0), ShapeBlockDesc());
  EXPECT_EQ(toon->GetParamBlockDescByID(kTarmatBlockZone1 + 3), TarmatBlockDesc(5));
}

TEST_F(PluginSetupTest, ReadsTheUsersDefaults) {
  WriteBytes(dir.File("tarnis.ini"), "[General]\nLineDlgX=321\nLineDlgY=-7\n");
  WriteBytes(dir.File("tarnis_line.ini"), "[BrushBaseDefault]\nbrushMapSize=42.5\n");
  auto setup = MakeSetup();
  setup->RunOnce();
  EXPECT_EQ(setup->General().lineDlgX, 321);
  EXPECT_EQ(setup->General().lineDlgY, -7);
  EXPECT_EQ(SizeDefault(), 42.5f);
}

TEST_F(PluginSetupTest, KeysThatAreNotWholeNumbersKeepTheBuiltInPosition) {
  for (const char* value : {"", "left", "99999999999", "-"}) {
    WriteBytes(dir.File("tarnis.ini"),
               std::string("[General]\nLineDlgX=") + value + "\nLineDlgY=" + value + "\n");
    auto setup = MakeSetup();
    setup->RunOnce();
    EXPECT_EQ(setup->General().lineDlgX, GeneralSettings::kDefaultLineDlgX) << value;
    EXPECT_EQ(setup->General().lineDlgY, GeneralSettings::kDefaultLineDlgY) << value;
  }
}

// The settings file is written only when a value changed: a run that
// changes nothing makes no file; a position the panel changed is written.
TEST_F(PluginSetupTest, WithoutTarnisIniNothingIsWrittenUntilAPositionChanges) {
  auto setup = MakeSetup();
  setup->RunOnce();
  EXPECT_EQ(setup->General().lineDlgX, GeneralSettings::kDefaultLineDlgX);
  EXPECT_EQ(setup->General().lineDlgY, GeneralSettings::kDefaultLineDlgY);
  BroadcastNotification(NOTIFY_SYSTEM_STARTUP);
  EXPECT_NE(MotionDetectionLock(), nullptr);
  BroadcastNotification(NOTIFY_SYSTEM_SHUTDOWN);
  EXPECT_EQ(MotionDetectionLock(), nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir.File("tarnis.ini")));
  setup->General().lineDlgX = -250;
  BroadcastNotification(NOTIFY_SYSTEM_SHUTDOWN);
  EXPECT_EQ(Key("tarnis.ini", "General", "LineDlgX"), "-250");
  EXPECT_EQ(Key("tarnis.ini", "General", "LineDlgY"),
            std::to_string(GeneralSettings::kDefaultLineDlgY));
}

TEST_F(PluginSetupTest, AFailedProbeHandsOutDescriptorsButDoesNothingElse) {
  WriteBytes(dir.File("tarnis.ini"), "[General]\nLineDlgX=321\n");
  WriteBytes(dir.File("tarnis_line.ini"), "[BrushBaseDefault]\nbrushMapSize=42.5\n");
  host.answer = 0;
  auto setup = MakeSetup();
  EXPECT_EQ(setup->ClassDesc(0), ClassTable().front());
  EXPECT_EQ(setup->ClassDesc(static_cast<int>(ClassTable().size()) - 1), ClassTable().back());
  EXPECT_TRUE(setup->Done());
  EXPECT_FALSE(setup->ProbeAccepted());
  EXPECT_TRUE(host.withdrawn.empty());
  // No defaults were read.
  EXPECT_EQ(setup->General().lineDlgX, GeneralSettings::kDefaultLineDlgX);
  EXPECT_EQ(SizeDefault(), sizeDefault_.Get<float>());
  // No handler is registered: start-up makes no lock, shutdown writes nothing.
  BroadcastNotification(NOTIFY_SYSTEM_STARTUP);
  EXPECT_EQ(MotionDetectionLock(), nullptr);
  BroadcastNotification(NOTIFY_SYSTEM_SHUTDOWN);
  EXPECT_EQ(Key("tarnis.ini", "General", "LineDlgY"), "<missing>");
  // Asking again never probes again.
  host.answer = 1;
  setup->ClassDesc(0);
  EXPECT_EQ(host.offered.size(), 1u);
  EXPECT_FALSE(setup->ProbeAccepted());
}

TEST_F(PluginSetupTest, ResetNewAndOpenEmptyTheLineSettingClipboard) {
  auto setup = MakeSetup();
  setup->RunOnce();
  ReferenceHolder effect(new LineManager);
  SettingHolder* clipboard = LineSettingClipboard();
  ASSERT_NE(clipboard, nullptr);
  for (int code : {NOTIFY_SYSTEM_PRE_RESET, NOTIFY_SYSTEM_PRE_NEW, NOTIFY_FILE_PRE_OPEN}) {
    clipboard->ReplaceReference(0, new QvPolygonCtrl);
    clipboard->ReplaceReference(5, new QvPolygonCtrl);
    BroadcastNotification(code);
    EXPECT_EQ(clipboard->GetReference(0), nullptr) << code;
    EXPECT_EQ(clipboard->GetReference(5), nullptr) << code;
  }
  // Opening a file switches parameter linking off until it is open.
  EXPECT_FALSE(ParamLinkingOn());
  BroadcastNotification(NOTIFY_FILE_POST_OPEN);
  EXPECT_TRUE(ParamLinkingOn());
}

TEST_F(PluginSetupTest, ResetNewAndOpenEmptyTheDampingClipboardSoPasteDoesNothing) {
  auto setup = MakeSetup();
  setup->RunOnce();
  ReferenceHolder from(new Brush), to(new Brush);
  Brush& target = *to.GetAs<Brush>();
  for (int code : {NOTIFY_SYSTEM_PRE_RESET, NOTIFY_SYSTEM_PRE_NEW, NOTIFY_FILE_PRE_OPEN}) {
    ASSERT_TRUE(CopyToClipboard(BrushClipboardPanel(*from.GetAs<Brush>(), kCaPBrushDampSize)));
    BroadcastNotification(code);
    EXPECT_EQ(TheCaPDataHolder().Kind(), kCaPEmpty) << code;
    EXPECT_EQ(TheCaPDataHolder().GetReference(CaPDataHolder::kBlockRef), nullptr) << code;
    IParamBlock2* before = target.Block(kBrushBlockDampSize);
    EXPECT_FALSE(PasteFromClipboard(BrushClipboardPanel(target, kCaPBrushDampSize))) << code;
    EXPECT_EQ(target.Block(kBrushBlockDampSize), before) << code;
  }
  BroadcastNotification(NOTIFY_FILE_POST_OPEN);
}

TEST_F(PluginSetupTest, ADroppedSetupLeavesNoHandlerBehind) {
  auto setup = MakeSetup();
  setup->RunOnce();
  setup.reset();
  BroadcastNotification(NOTIFY_SYSTEM_STARTUP);
  EXPECT_EQ(MotionDetectionLock(), nullptr);
}

}  // namespace
}  // namespace tarnis
