// Named ids of the plug-in's user-interface texts (see string_table.h): each
// text's number is defined once here and used by name everywhere else.
#pragma once

namespace tarnis {

// The plug-in's description in the host's module list.
inline constexpr int kStrLibDescription = 1;
// The undo entry of a change made in the shape editor.
inline constexpr int kStrParameterChange = 9183;

// Class names the host shows.
inline constexpr int kStrLineSettingClassName = 136;
inline constexpr int kStrLineEffectClassName = 500;
inline constexpr int kStrLineSetClassName = 600;
inline constexpr int kStrBrushClassName = 900;
inline constexpr int kStrToonMaterialClassName = 100;
inline constexpr int kStrStrokeClassName = 300;
inline constexpr int kStrMaterialExtClassName = 200;
inline constexpr int kStrMaterialExtHolderClassName = 289;
inline constexpr int kStrStrokeHolderClassName = 390;
inline constexpr int kStrExtShaderClassName = 30563;
// The line reflection map: its class name and the titles of its two panels.
inline constexpr int kStrLineRefTexClassName = 400;
inline constexpr int kStrRefTexBasicRollout = 401;
inline constexpr int kStrRefTexColorRangeRollout = 402;

// Render elements: class names and the parameters every element has.
inline constexpr int kStrLineElementClassName = 800;
inline constexpr int kStrMaterialElementClassName = 850;
inline constexpr int kStrElementFilterOn = 802;
inline constexpr int kStrElementEnabled = 803;
inline constexpr int kStrElementName = 804;
inline constexpr int kStrElementBitmap = 805;
inline constexpr int kStrElementLineEnable = 810;
inline constexpr int kStrElementHiddenLineEnable = 811;
inline constexpr int kStrElementBackgroundColorEnable = 812;
inline constexpr int kStrElementBackgroundColor = 813;

// The line effect's warning when its lines go to render elements only and
// none receives them.
inline constexpr int kStrNoLineElement = 520;

// The vector-file output.
inline constexpr int kStrFileOutClassName = 1011;
inline constexpr int kStrFileOutLinePanel = 1012;
inline constexpr int kStrFileOutFileType = 1003;
inline constexpr int kStrFileOutFileName = 1004;
inline constexpr int kStrFileTypeIllustratorEps = 1005;
inline constexpr int kStrFileTypeEps = 1006;
inline constexpr int kStrFileOutLineEnable = 1007;
inline constexpr int kStrFileOutHiddenLineEnable = 1008;
inline constexpr int kStrFileNotSet = 1009;
inline constexpr int kStrAllFiles = 1010;
inline constexpr int kStrFileTypeSvg = 1013;

// The toon material's warnings (shown with the caption "Tarnis").
inline constexpr int kStrOnlyStrokeMaps = 1100;
inline constexpr int kStrOnlyMaterialExt = 1101;

// The toon material's sub-map and sub-material slot names.
inline constexpr int kStrSlotHighlightMap = 1110;
inline constexpr int kStrSlotHighlightLevelMap = 1111;
inline constexpr int kStrSlotHighlightGlossMap = 1112;
inline constexpr int kStrSlotBumpMap = 1113;
inline constexpr int kStrSlotReflectionMap = 1114;
inline constexpr int kStrZone = 1115;
inline constexpr int kStrStroke = 1116;
inline constexpr int kStrMap = 1117;
inline constexpr int kStrSlotBaseMaterial = 1118;
inline constexpr int kStrSlotExtMaterial = 1119;
// The advanced-settings material's sub-map slot names.
inline constexpr int kStrSlotGradOffsetMap = 1120;
inline constexpr int kStrSlotShadowMap = 1121;

// Display names of the shape control's parameters: parameter id i has the
// text kStrShapeParamNames + i.
inline constexpr int kStrShapeParamNames = 700;

// The names of the blend modes are the texts whose numbers are the modes
// themselves (kBlendNormal = 50 ... kBlendLuminosity = 65, blend_color.h).

// Progress titles of the line pass.
inline constexpr int kStrDetectingObjectEdges = 673;
inline constexpr int kStrDetectingIntersectionEdges = 674;
inline constexpr int kStrLinkingEdges1 = 675;
inline constexpr int kStrLinkingEdges2 = 676;
inline constexpr int kStrDrawingLines = 677;

// Line-set files: what a failed read tells after the file's name and the
// problem.
inline constexpr int kStrLineSetLeftAsItWas = 610;

// The line merge helper: its class name and the title of its merge dialog.
inline constexpr int kStrLineMergeHelperClassName = 1000;
inline constexpr int kStrLineMergeTitle = 1002;

// The studio's line effect panel: the line-type tabs, the member dialogs, the
// setting buttons' menu and the titles of its groups.
inline constexpr int kStrPanelVisibleLines = 7500;
inline constexpr int kStrPanelHiddenLines = 7501;
inline constexpr int kStrPanelAddObjects = 7502;
inline constexpr int kStrPanelRemoveObjects = 7503;
inline constexpr int kStrPanelAddButton = 7504;
inline constexpr int kStrPanelRemoveButton = 7505;
inline constexpr int kStrPanelAddMaterials = 7506;
inline constexpr int kStrPanelRemoveMaterials = 7507;
inline constexpr int kStrPanelCopy = 7508;
inline constexpr int kStrPanelPasteCopy = 7509;
inline constexpr int kStrPanelPasteInstance = 7510;
inline constexpr int kStrPanelLineRollout = 7511;
inline constexpr int kStrPanelDepthRollout = 7512;

}  // namespace tarnis
