// Tests of the default zone layout: the built-in quarters, the gradation
// settings file written and read back (in memory and on disk), hostile
// files, failed writes and the process-wide current layout.
#include "tarnis/material/grad_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sdk/testing/fake_interface.h"
#include "sdk/testing/scratch_dir.h"
#include "tarnis/common/mem_ini_handler.h"

namespace tarnis {
namespace {

void ExpectLayout(const GradationLayout& got, const GradationLayout& want) {
  for (size_t k = 0; k < want.size(); ++k) {
    SCOPED_TRACE("zone " + std::to_string(k + 1));
    EXPECT_NEAR(got[k].min, want[k].min, 1e-5f);
    EXPECT_NEAR(got[k].max, want[k].max, 1e-5f);
    for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(got[k].color[ch], want[k].color[ch], 1e-6f);
    EXPECT_EQ(got[k].blend, want[k].blend);
    EXPECT_NEAR(got[k].amount, want[k].amount, 1e-5f);
  }
}

// A layout other than the built-in one, with a gap and touching zones, all
// exactly representable in six decimals.
GradationLayout CustomLayout() {
  // min, max, colour, blend mode, amount
  return {{{0.0f, 12.5f, Color(0.125f, 0.25f, 0.5f), 3, 50.0f},
           {30.0f, 45.25f, Color(1.0f, 0.0f, 0.75f), 15, 0.0f},
           {45.25f, 70.0f, Color(0.5f, 0.5f, 0.0f), 1, 99.5f},
           {80.0f, 100.0f, Color(1.0f, 1.0f, 1.0f), 8, 100.0f}}};
}

// A host whose settings directory is a scratch directory; the current layout
// goes back to the built-in one afterwards.
class GradSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetSettingsDirectory();
    ip.settingsDir = dir.Path().string();
  }
  void TearDown() override {
    ip.settingsDir.clear();
    ForgetSettingsDirectory();
    ReloadGradationDefaults();
  }
  std::string GradFile() const { return dir.File("plugcfg/tarnis_grad.ini"); }

  FakeInterface ip;
  ScratchDir dir;
};

TEST_F(GradSettings, NewMaterialsSplitTheGradationIntoGreyQuartersWithoutAFile) {
  const GradationLayout quarters = {{{0.0f, 25.0f, Color(0.0f, 0.0f, 0.0f), 0, 100.0f},
                                     {25.0f, 50.0f, Color(0.25f, 0.25f, 0.25f), 0, 100.0f},
                                     {50.0f, 75.0f, Color(0.5f, 0.5f, 0.5f), 0, 100.0f},
                                     {75.0f, 100.0f, Color(0.75f, 0.75f, 0.75f), 0, 100.0f}}};
  ExpectLayout(BuiltInGradation(), quarters);
  ExpectLayout(LoadGradationDefaults(), quarters);
  ReloadGradationDefaults();
  ExpectLayout(CurrentGradationDefaults(), quarters);
  EXPECT_FALSE(std::filesystem::exists(GradFile()));
}

TEST_F(GradSettings, ALayoutSavedInMemoryReadsBackInTheFileFormats) {
  MemIniHandler ini;
  ASSERT_TRUE(SaveGradationDefaults(CustomLayout(), ini));
  ExpectLayout(LoadGradationDefaults(ini), CustomLayout());
  EXPECT_EQ(ini.ReadValue("Tarnis Material Zone 1", "min"), "0.000000");
  EXPECT_EQ(ini.ReadValue("Tarnis Material Zone 1", "color"), "0.125000 0.250000 0.500000");
  EXPECT_EQ(ini.ReadValue("Tarnis Material Zone 2", "blend_method"), "15");
  EXPECT_EQ(ini.ReadValue("Tarnis Material Zone 3", "blend_amount"), "99.500000");
  EXPECT_EQ(ini.ReadValue("Tarnis Material Zone 4", "max"), "100.000000");
  ASSERT_EQ(ini.Sections().size(), 4u);
  for (const MemIniHandler::Section& s : ini.Sections()) EXPECT_EQ(s.entries.size(), 5u) << s.name;
  // A successful save is what new materials take from now on.
  ExpectLayout(CurrentGradationDefaults(), CustomLayout());
}

TEST_F(GradSettings, ALayoutSavedToTheSettingsFileIsReadAtTheNextStart) {
  ASSERT_TRUE(SaveGradationDefaults(CustomLayout()));
  const std::string text = ReadBytes(GradFile());
  EXPECT_NE(text.find("[Tarnis Material Zone 2]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("color=1.000000 0.000000 0.750000\n"), std::string::npos) << text;
  ExpectLayout(LoadGradationDefaults(), CustomLayout());

  // A start-up with the file edited in between reads the edit.
  WriteBytes(GradFile(), "[Tarnis Material Zone 4]\nblend_method=2\n");
  ExpectLayout(CurrentGradationDefaults(), CustomLayout());
  ReloadGradationDefaults();
  GradationLayout want = BuiltInGradation();
  want[3].blend = 2;
  ExpectLayout(CurrentGradationDefaults(), want);
}

TEST_F(GradSettings, MissingKeysKeepTheirBuiltInValues) {
  MemIniHandler ini;
  ini.WriteString("Tarnis Material Zone 2", "color", "1 0 0");
  ini.WriteString("Tarnis Material Zone 4", "blend_method", "5");
  ini.WriteString("Tarnis Material Zone 4", "min", "");
  ini.WriteString("Tarnis Material Zone 5", "min", "99");
  GradationLayout want = BuiltInGradation();
  want[1].color = Color(1.0f, 0.0f, 0.0f);
  want[3].blend = 5;
  ExpectLayout(LoadGradationDefaults(ini), want);
}

TEST_F(GradSettings, HostileValuesAreRejectedOrClampedAndDisorderGivesTheBuiltInLayout) {
  struct Case {
    int zone;  // 1..4
    const char* key;
    const char* value;
    void (*expect)(GradationLayout&);  // the change to the built-in layout; null: none
  };
  const Case cases[] = {
      {1, "min", "nan", nullptr},
      {1, "max", "inf", nullptr},
      {1, "blend_amount", "-inf", nullptr},
      {4, "max", "1e30", nullptr},   // clamped to 100, its value already
      {4, "max", "1e300", nullptr},  // does not fit a float
      {1, "min", "-5", nullptr},
      {2, "blend_amount", "-20", [](GradationLayout& l) { l[1].amount = 0.0f; }},
      {3, "blend_amount", "250", nullptr},
      {3, "blend_amount", "42.5", [](GradationLayout& l) { l[2].amount = 42.5f; }},
      {2, "color", "2 -1 0.5", [](GradationLayout& l) { l[1].color = Color(1.0f, 0.0f, 0.5f); }},
      {2, "color", "0.5 nan 0.5", nullptr},
      {2, "color", "0.5 0.5", nullptr},
      {1, "blend_method", "99", [](GradationLayout& l) { l[0].blend = 15; }},
      {1, "blend_method", "-3", nullptr},
      {1, "blend_method", "99999999999", nullptr},
      {1, "blend_method", "screen", nullptr},
      // Out of order: the whole layout is the built-in one.
      {2, "min", "10", nullptr},
      {3, "max", "40", nullptr},
      {1, "max", "1e30", nullptr},
  };
  for (const Case& c : cases) {
    const std::string section = "Tarnis Material Zone " + std::to_string(c.zone);
    SCOPED_TRACE(section + " " + c.key + "=" + c.value);
    MemIniHandler ini;
    ini.WriteString(section.c_str(), c.key, c.value);
    GradationLayout want = BuiltInGradation();
    if (c.expect) c.expect(want);
    ExpectLayout(LoadGradationDefaults(ini), want);
  }
}

TEST_F(GradSettings, OneOutOfOrderZoneDiscardsEveryOtherValueOfTheFile) {
  MemIniHandler ini;
  ASSERT_TRUE(SaveGradationDefaults(CustomLayout(), ini));
  ini.WriteString("Tarnis Material Zone 3", "min", "20");  // below zone 2's max
  ExpectLayout(LoadGradationDefaults(ini), BuiltInGradation());
  // Touching zones and gaps are in order.
  ini.WriteString("Tarnis Material Zone 3", "min", "45.25");
  ini.WriteString("Tarnis Material Zone 3", "max", "45.25");
  GradationLayout want = CustomLayout();
  want[2].max = 45.25f;
  ExpectLayout(LoadGradationDefaults(ini), want);
}

// A handler whose writes fail from the n-th on.
class FailingIni : public MemIniHandler {
 public:
  explicit FailingIni(int failFrom) : failFrom_(failFrom) {}
  bool WriteString(const char* section, const char* key, const char* value) override {
    if (++writes >= failFrom_) return false;
    return MemIniHandler::WriteString(section, key, value);
  }
  int writes = 0;

 private:
  int failFrom_;
};

TEST_F(GradSettings, AFailedWriteIsReportedAndChangesNoDefaults) {
  for (int failFrom : {1, 7, 20}) {
    SCOPED_TRACE(failFrom);
    FailingIni ini(failFrom);
    EXPECT_FALSE(SaveGradationDefaults(CustomLayout(), ini));
    EXPECT_EQ(ini.writes, failFrom);
    ExpectLayout(CurrentGradationDefaults(), BuiltInGradation());
  }
  IniHandler nowhere(dir.File("missing/tarnis_grad.ini"));
  EXPECT_FALSE(SaveGradationDefaults(CustomLayout(), nowhere));
  ip.settingsDir.clear();
  ForgetSettingsDirectory();
  EXPECT_FALSE(SaveGradationDefaults(CustomLayout()));
  ExpectLayout(CurrentGradationDefaults(), BuiltInGradation());
}

}  // namespace
}  // namespace tarnis
