#include "tarnis/resources/string_table.h"

#include <dlfcn.h>
#include <libintl.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "tarnis/resources/string_ids.h"

namespace tarnis {

namespace {

ModuleHandle gModule = nullptr;
char gBuffer[256];

// Texts by number, in English; the catalogues translate them. Each area adds
// its own texts here as it lands.
const std::unordered_map<int, const char*>& table() {
  static const std::unordered_map<int, const char*> texts = {
      {kStrLibDescription, "Tarnis (KORVO)"},
      {kStrParameterChange, "Parameter change"},
      // Blend modes.
      {50, "Normal"},
      {51, "Add"},
      {52, "Subtract"},
      {53, "Multiply"},
      {54, "Screen"},
      {55, "Overlay"},
      {56, "Soft light"},
      {57, "Hard light"},
      {58, "Darken"},
      {59, "Lighten"},
      {60, "Difference"},
      {61, "Exclusion"},
      {62, "Hue"},
      {63, "Saturation"},
      {64, "Color"},
      {65, "Luminosity"},
      // Progress stages of the line engine.
      {kStrDetectingObjectEdges, "Detecting object edges"},
      {kStrDetectingIntersectionEdges, "Detecting intersection edges"},
      {kStrLinkingEdges1, "[Tarnis] Linking edges, process 1"},
      {kStrLinkingEdges2, "[Tarnis] Linking edges, process 2"},
      {kStrDrawingLines, "[Tarnis] Drawing lines"},
      // Class names shown.
      {kStrLineEffectClassName, "Tarnis Line"},
      {kStrLineSetClassName, "Tarnis Line Set"},
      {kStrLineSetLeftAsItWas, "the line set is left as it was"},
      {800, "Tarnis Line"},
      {850, "Tarnis Material"},
      {kStrNoLineElement,
       "RenderElementOnly is on, but no enabled render element receives the lines: add a "
       "Tarnis Line render element"},
      // Render elements.
      {kStrLineElementClassName, "Tarnis Line"},
      {kStrMaterialElementClassName, "Tarnis Material"},
      {kStrElementFilterOn, "Filter On"},
      {kStrElementEnabled, "Enabled"},
      {kStrElementName, "Name"},
      {kStrElementBitmap, "Bitmap"},
      {kStrElementLineEnable, "Line Enable"},
      {kStrElementHiddenLineEnable, "Hidden Line Enable"},
      {kStrElementBackgroundColorEnable, "Background Color Enable"},
      {kStrElementBackgroundColor, "Background Color"},
      // The vector-file output.
      {kStrFileOutClassName, "Tarnis File Output"},
      {kStrFileOutLinePanel, "Tarnis Line Output Settings"},
      {kStrFileOutFileType, "FILE_TYPE"},
      {kStrFileOutFileName, "FILE_NAME"},
      {kStrFileTypeIllustratorEps, "Adobe Illustrator 8 EPS (*.eps)"},
      {kStrFileTypeEps, "Encapsulated Post Script (*.eps)"},
      {kStrFileTypeSvg, "Scalable Vector Graphics (*.svg)"},
      {kStrFileOutLineEnable, "LINE_ENABLE"},
      {kStrFileOutHiddenLineEnable, "HIDEN_LINE_ENABLE"},
      {kStrFileNotSet, "Not set"},
      {kStrAllFiles, "All files (*.*)"},
      // The line merge helper.
      {kStrLineMergeHelperClassName, "Line Merge"},
      {kStrLineMergeTitle, "Tarnis Line Merge"},
      {1001, "Tarnis"},
      {kStrBrushClassName, "Tarnis Line Brush"},
      {kStrLineSettingClassName, "Tarnis Line Setting"},
      {kStrLineRefTexClassName, "Tarnis Reflect/Refract"},
      {kStrRefTexBasicRollout, "Basic Settings"},
      {kStrRefTexColorRangeRollout, "Color Range"},
      {kStrToonMaterialClassName, "Tarnis Material"},
      {kStrStrokeClassName, "Tarnis Stroke"},
      {kStrMaterialExtClassName, "Advanced Settings"},
      {kStrMaterialExtHolderClassName, "TARMAT EXT HOLDER"},
      {kStrStrokeHolderClassName, "STROKE HOLDER"},
      {kStrExtShaderClassName, "Anisotropic"},
      // The toon material.
      {kStrOnlyStrokeMaps, "Only stroke maps can be set here"},
      {kStrOnlyMaterialExt, "Only advanced-settings materials can be set here"},
      {kStrSlotHighlightMap, "Highlight Map"},
      {kStrSlotHighlightLevelMap, "Highlight Level Map"},
      {kStrSlotHighlightGlossMap, "Highlight Glossiness Map"},
      {kStrSlotBumpMap, "Bump Map"},
      {kStrSlotReflectionMap, "Reflection Map"},
      {kStrZone, "Zone"},
      {kStrStroke, "Stroke"},
      {kStrMap, "Map"},
      {kStrSlotBaseMaterial, "BASEMAT"},
      {kStrSlotExtMaterial, "EXTMAT"},
      {kStrSlotGradOffsetMap, "Gradation Offset Map"},
      {kStrSlotShadowMap, "Shadow Map"},
      // Parameters of the shape control, by parameter id from 700.
      {kStrShapeParamNames + 0, "Node angle"},
      {kStrShapeParamNames + 1, "Node radius"},
      {kStrShapeParamNames + 2, "Nodes on reset"},
      {kStrShapeParamNames + 3, "Node type"},
      {kStrShapeParamNames + 4, "Handle 0"},
      {kStrShapeParamNames + 5, "Handle 1"},
      // The studio's line effect panel.
      {kStrPanelVisibleLines, "Visible lines"},
      {kStrPanelHiddenLines, "Hidden lines"},
      {kStrPanelAddObjects, "Add objects"},
      {kStrPanelRemoveObjects, "Remove objects"},
      {kStrPanelAddButton, "Add to the line set"},
      {kStrPanelRemoveButton, "Remove from the line set"},
      {kStrPanelAddMaterials, "Add materials"},
      {kStrPanelRemoveMaterials, "Remove materials"},
      {kStrPanelCopy, "Copy"},
      {kStrPanelPasteCopy, "Paste (copy)"},
      {kStrPanelPasteInstance, "Paste (instance)"},
      {kStrPanelLineRollout, "Lines"},
      {kStrPanelDepthRollout, "Depth falloff"},
  };
  return texts;
}

namespace fs = std::filesystem;

// The first folder holding a compiled catalogue of the domain: beside the
// installed module, then the build tree's (which the test programs that link
// the plug-in statically also use).
std::string findCatalogueDir() {
  std::vector<fs::path> candidates;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&FindString), &info) != 0 && info.dli_fname) {
    std::error_code ec;
    const fs::path module = fs::canonical(info.dli_fname, ec);
    if (!ec) candidates.push_back(module.parent_path() / "../../../share/locale");
  }
  candidates.push_back(TARNIS_BUILD_LOCALE_DIR);
  const std::string mo = std::string(kTextDomain) + ".mo";
  for (const fs::path& dir : candidates) {
    std::error_code ec;
    for (const fs::directory_entry& lang : fs::directory_iterator(dir, ec)) {
      if (fs::is_regular_file(lang.path() / "LC_MESSAGES" / mo, ec)) {
        return dir.lexically_normal().string();
      }
    }
  }
  return {};
}

// Binds the text domain once, before the first translation.
void bindCatalogue() {
  static const bool bound = [] {
    std::string found = findCatalogueDir();
    if (!found.empty()) bindtextdomain(kTextDomain, found.c_str());
    // Texts reach terminals and files as UTF-8 whatever LC_CTYPE says.
    bind_textdomain_codeset(kTextDomain, "UTF-8");
    return true;
  }();
  (void)bound;
}

}  // namespace

void SetModuleHandle(ModuleHandle handle) {
  gModule = handle;
}
ModuleHandle GetModuleHandle() {
  return gModule;
}

const char* FindString(int id) {
  auto it = table().find(id);
  if (it == table().end()) return nullptr;
  bindCatalogue();
  return dgettext(kTextDomain, it->second);
}

const char* GetString(int id) {
  if (!gModule) return nullptr;
  const char* text = FindString(id);
  if (!text) return nullptr;
  // Copies at most 255 bytes; a cut never splits a UTF-8 sequence.
  size_t n = std::strlen(text);
  if (n > sizeof gBuffer - 1) {
    n = sizeof gBuffer - 1;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(gBuffer, text, n);
  gBuffer[n] = '\0';
  return gBuffer;
}

}  // namespace tarnis
