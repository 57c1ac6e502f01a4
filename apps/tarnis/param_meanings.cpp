#include "apps/tarnis/param_meanings.h"

#include <cctype>
#include <unordered_map>

namespace tarnis_cli {

namespace {

using Table = std::unordered_map<std::string, std::string>;

const Table& classes() {
  static const Table t = {
      {"ParamBlock2", "The values of one parameter block of an object."},
      {"LinearFloat", "Key frames of a number, joined by straight lines (\"interp\": \"linear\")."},
      {"BezierFloat", "Key frames of a number, joined by smooth curves (\"interp\": \"bezier\")."},
      {"StepFloat", "Key frames of a number, each held until the next."},
      {"LinearPoint3", "Key frames of a colour or point, joined by straight lines."},
      {"BezierPoint3", "Key frames of a colour or point, joined by smooth curves."},
      {"CurveControl", "A curve of points with tangents (a line set's damping curves)."},
      {"Standard", "The host's standard material: Blinn shading with maps."},
      {"Blinn", "The Blinn shader a standard material shades through."},
      {"Bitmap", "A texture map read from an image file."},
      {"Checker", "A two-colour checker texture map."},
      {"Noise", "A two-colour gradient-noise texture map."},
      {"Reflect/Refract", "An environment map rendered as a cube around the object."},
      {"StdUVGen", "Texture coordinates of a map: mapping, offset, tiling, rotation."},
      {"Node", "A scene node; written in scene descriptions under \"nodes\"."},
      {"Editable Mesh", "A mesh object; made from a file or a primitive under \"nodes\"."},
      {"Camera", "The camera object; written under \"camera\"."},
      {"Light", "A light object; written under \"lights\"."},
      {"List", "A list of objects (materials, effects, render elements)."},
      {"Tarnis_Line", "The line effect: draws the lines of its line sets over the image."},
      {"Tarnis_LineSet", "A group of objects and materials drawn with one set of line rules."},
      {"Tarnis_LineSetting", "How one kind of line looks: colour, size, opacity, maps, brush."},
      {"Tarnis_LineBrush", "The brush a line setting paints with: tip, strokes, wobble, taper."},
      {"Tarnis_SettingHolder", "Keeps line settings that left their line-set slots."},
      {"QvPolygonCtrl", "A closed shape of nodes with handles (the shape control)."},
      {"Tarnis_Material",
       "The toon material: up to four flat colour zones picked by the light, a shaped "
       "highlight, shadow colour, bump, reflection and hatching strokes per zone."},
      {"Tarnis_MaterialExt",
       "Advanced toon settings shared by toon materials: gradation offset, shadow colour, "
       "light colour, designed highlight, soft zone borders."},
      {"Tarnis_StrokeHolder", "Keeps the stroke maps that left a toon material's stroke slots."},
      {"Tarnis_MaterialExtHolder",
       "Keeps the advanced-settings material that left a toon material's slot."},
      {"TarmatExtShader", "The toon material's private shader: light gathering and an "
                          "anisotropic highlight lobe that a designed outline reshapes."},
  };
  return t;
}

const Table& blocks() {
  static const Table t = {
      {"Tarnis_LineSet/type1",
       "Visible lines: which edges are drawn, and the base setting's look."},
      {"Tarnis_LineSet/type2", "Hidden lines (behind other surfaces), as type1."},
      {"Tarnis_LineSet/type3", "A third line type that is kept in files but never drawn."},
      {"Tarnis_LineSet/damp1", "Size and opacity of visible lines by distance from the camera."},
      {"Tarnis_LineSet/damp2", "Size and opacity of hidden lines by distance from the camera."},
      {"Tarnis_LineSet/damp3", "Distance block of the third type; never drawn."},
      {"Tarnis_LineBrush/parameters", "The brush tip."},
      {"Tarnis_LineBrush/brush_stroke", "Strokes along a line, and how edges join into lines."},
      {"Tarnis_LineBrush/noise", "A wave that moves the stroke path sideways."},
      {"Tarnis_LineBrush/damp_size", "Size falloff along each stroke."},
      {"Tarnis_LineBrush/damp_alpha", "Opacity falloff along each stroke."},
      {"Tarnis_LineBrush/color_mod", "Colour that varies from stroke to stroke."},
      {"Tarnis_Material/main", "Base material, highlight, bump, reflection and strokes."},
      {"Tarnis_Material/grad", "The advanced-settings material (also in main)."},
      {"Tarnis_Material/zone1", "Zone 1, the darkest: its gradation range, colour and strokes."},
      {"Tarnis_Material/zone2", "Zone 2, as zone 1."},
      {"Tarnis_Material/zone3", "Zone 3, as zone 1."},
      {"Tarnis_Material/zone4", "Zone 4, the brightest, as zone 1."},
      {"Tarnis_Material/version", "Holds no parameters."},
  };
  return t;
}

// Keys are CLASS/PARAM; the line set's per-type parameters use their base name.
const Table& params() {
  static const Table t = {
      // The standard material.
      {"Standard/ambient", "Colour in shadow (ambient light), 0 to 1 per channel."},
      {"Standard/diffuse", "Colour under direct light, 0 to 1 per channel."},
      {"Standard/specular", "Colour of highlights, 0 to 1 per channel."},
      {"Standard/adLock", "Ambient follows the diffuse colour."},
      {"Standard/specularLevel", "Highlight strength, percent."},
      {"Standard/glossiness", "Highlight tightness, percent: higher is smaller and sharper."},
      {"Standard/softenLevel", "Softens highlights seen at grazing angles, 0 to 1."},
      {"Standard/opacity", "Opacity, percent (100 is opaque)."},
      {"Standard/selfIllum", "Self-illumination, percent: the surface lights itself."},
      {"Standard/selfIllumColor", "Colour of self-illumination when useSelfIllumColor is on."},
      {"Standard/useSelfIllumColor", "Self-illuminate with selfIllumColor instead of the diffuse."},
      {"Standard/twoSided", "Shade both sides of faces."},
      {"Standard/diffuseMap", "Map for the diffuse colour."},
      {"Standard/diffuseMapAmount", "Weight of the diffuse map over the colour, percent."},
      {"Standard/diffuseMapOn", "Use the diffuse map."},
      {"Standard/bumpMap", "Map whose brightness bumps the surface normal."},
      {"Standard/bumpAmount", "Bump strength, percent (negative inverts)."},
      {"Standard/bumpMapOn", "Use the bump map."},
      {"Standard/specularLevelMap", "Map for the highlight strength."},
      {"Standard/specularLevelMapAmount", "Weight of the specular-level map, percent."},
      {"Standard/specularLevelMapOn", "Use the specular-level map."},
      {"Standard/glossinessMap", "Map for the glossiness."},
      {"Standard/glossinessMapAmount", "Weight of the glossiness map, percent."},
      {"Standard/glossinessMapOn", "Use the glossiness map."},
      {"Standard/opacityMap", "Map for the opacity."},
      {"Standard/opacityMapAmount", "Weight of the opacity map, percent."},
      {"Standard/opacityMapOn", "Use the opacity map."},
      {"Standard/reflectionMap", "Map added as reflection (e.g. Reflect/Refract)."},
      {"Standard/reflectionAmount", "Strength of the reflection map, percent."},
      {"Standard/reflectionMapOn", "Use the reflection map."},
      {"Standard/shader", "The shader object (Blinn) the material shades through."},
      // Its shader.
      {"Blinn/ambient", "Ambient colour, 0 to 1 per channel."},
      {"Blinn/diffuse", "Diffuse colour, 0 to 1 per channel."},
      {"Blinn/specular", "Highlight colour, 0 to 1 per channel."},
      {"Blinn/selfIllumColor", "Self-illumination colour."},
      {"Blinn/selfIllum", "Self-illumination, percent."},
      {"Blinn/glossiness", "Highlight tightness, percent."},
      {"Blinn/specularLevel", "Highlight strength, percent."},
      {"Blinn/soften", "Softens highlights at grazing angles, 0 to 1."},
      // Maps.
      {"Bitmap/filename", "Image file (PNG, JPEG or EXR), relative to the scene file."},
      {"Bitmap/filtering", "Filter the image when it is sampled (off: nearest pixel)."},
      {"Bitmap/alphaSource", "Alpha: 0 from the image, 1 from its intensity, 2 opaque."},
      {"Bitmap/coords", "Texture coordinates (a StdUVGen)."},
      {"Checker/color1", "Colour of the first squares."},
      {"Checker/color2", "Colour of the second squares."},
      {"Checker/map1", "Map used in place of color1."},
      {"Checker/map2", "Map used in place of color2."},
      {"Checker/soften", "Blur across square borders, 0 (sharp) to 1."},
      {"Checker/coords", "Texture coordinates (a StdUVGen)."},
      {"Noise/color1", "Colour at low noise values."},
      {"Noise/color2", "Colour at high noise values."},
      {"Noise/map1", "Map used in place of color1."},
      {"Noise/map2", "Map used in place of color2."},
      {"Noise/size", "Size of the noise features, in coordinate units."},
      {"Noise/noiseType", "0 regular, 1 fractal, 2 turbulence."},
      {"Noise/levels", "Octaves summed by the fractal and turbulence types."},
      {"Noise/phase", "Moves the noise through time; animate it to make it flow."},
      {"Noise/low", "Noise value that maps to color1, 0 to 1."},
      {"Noise/high", "Noise value that maps to color2, 0 to 1."},
      {"Noise/coords", "Texture coordinates (a StdUVGen)."},
      {"Reflect/Refract/size", "Edge of each rendered cube face, in pixels."},
      {"Reflect/Refract/blur", "Blur of the cube faces, in pixels."},
      {"Reflect/Refract/refract", "Look through the surface (refraction) instead of reflecting."},
      {"Reflect/Refract/nthFrame", "Render the cube again every this many frames."},
      {"StdUVGen/mapping",
       "Environment mapping: 0 texture coordinates, 1 spherical, 2 cylindrical, "
       "3 shrink-wrap, 4 screen."},
      {"StdUVGen/uOffset", "Moves the map along U, in tiles."},
      {"StdUVGen/vOffset", "Moves the map along V, in tiles."},
      {"StdUVGen/uTiling", "Repeats of the map along U."},
      {"StdUVGen/vTiling", "Repeats of the map along V."},
      {"StdUVGen/uAngle", "Rotation about the U axis, degrees."},
      {"StdUVGen/vAngle", "Rotation about the V axis, degrees."},
      {"StdUVGen/wAngle", "Rotation in the map's plane, degrees."},
      {"StdUVGen/blur", "Filter width multiplier when the map is sampled."},
      {"StdUVGen/blurOffset", "Filter width added regardless of distance."},
      {"StdUVGen/noiseAmount", "Strength of the coordinate noise (flags bit 16 turns it on)."},
      {"StdUVGen/noiseSize", "Size of the coordinate noise."},
      {"StdUVGen/noiseLevel", "Octaves of the coordinate noise."},
      {"StdUVGen/noisePhase", "Phase of the coordinate noise when animated (flags bit 32)."},
      {"StdUVGen/tiling", "Bits: 1 wrap U, 2 wrap V, 4 mirror U, 8 mirror V."},
      {"StdUVGen/mapChannel", "Mesh map channel the coordinates come from."},
      {"StdUVGen/symmetry", "Stored with the coordinates; the renderer does not use it."},
      {"StdUVGen/hideMapBack", "Hide the map on faces that face away along the mapping axis."},
      {"StdUVGen/uvwSource",
       "Source: 0 a map channel, 1 object XYZ, 2 vertex colours, 3 world XYZ."},
      {"StdUVGen/slotType", "Stored with the coordinates; the renderer does not use it."},
      {"StdUVGen/axis", "Plane of the map: 0 XY, 1 YZ, 2 ZX."},
      {"StdUVGen/clip", "Stored with the coordinates; the renderer does not use it."},
      {"StdUVGen/flags", "Bits: 16 coordinate noise on, 32 noise animated."},
      // The line effect.
      {"Tarnis_Line/Seed", "Seed of the stroke randomness."},
      {"Tarnis_Line/OutsideLength",
       "Pixels beyond the image border in which edges are still "
       "followed, so strokes enter the frame naturally."},
      {"Tarnis_Line/RenderElementOnly",
       "Draw lines only into line render elements, not the image."},
      {"Tarnis_Line/overSampling", "Samples per pixel side while strokes are painted."},
      {"Tarnis_Line/antiAliasSize", "Edge softness of lines, pixels; above 1 lines blur a little."},
      {"Tarnis_Line/rndAuto", "Change the stroke randomness every rndInterval frames."},
      {"Tarnis_Line/rndInterval", "Frames between changes of the randomness (with rndAuto)."},
      {"Tarnis_Line/rndMoveDetect",
       "With rndAuto, change it only for line sets whose objects move."},
      {"Tarnis_Line/lineSizeType",
       "0: sizes in pixels; 1: sizes scale with the image "
       "(640 x 480 is 1)."},
      // Line sets.
      {"Tarnis_LineSet/name", "The set's name, shown in lists and files."},
      {"Tarnis_LineSet/objects", "Member nodes, by name; a group brings its members."},
      {"Tarnis_LineSet/enable", "The set draws."},
      {"Tarnis_LineSet/combineBetweemObjects", "Strokes may run from one object onto another."},
      {"Tarnis_LineSet/mtls",
       "Member materials: faces with them join this set when it comes "
       "before the set listing their object."},
      {"Tarnis_LineSet/exHidden",
       "Hidden lines of other sets behind this set's objects are "
       "not drawn."},
      {"Tarnis_LineSet/lineSetLoad", "Setting a file name loads the set from that line-set file."},
      {"Tarnis_LineSet/lineSetSave", "Setting a file name saves the set to that line-set file."},
      {"Tarnis_LineSet/lineColor", "Line colour of the type's base setting (its lineColor)."},
      {"Tarnis_LineSet/lineMapOpacity", "The base setting's lineMapOpacity, percent."},
      {"Tarnis_LineSet/lineMap", "The base setting's line colour map."},
      {"Tarnis_LineSet/lineMapEnable", "The base setting's lineMapEnable."},
      {"Tarnis_LineSet/lineBlend", "The base setting's blend mode, 0 to 15."},
      {"Tarnis_LineSet/lineAlpha", "The base setting's opacity, percent."},
      {"Tarnis_LineSet/lineSize", "The base setting's line width, pixels."},
      {"Tarnis_LineSet/lineStretch", "The base setting's stroke stretch, percent."},
      {"Tarnis_LineSet/lineAngle", "The base setting's stroke angle, degrees."},
      {"Tarnis_LineSet/objectRespectiveEnable",
       "Outline and border edges use the \"outline\" "
       "setting instead of the base."},
      {"Tarnis_LineSet/normalRespectiveEnable", "Crease edges use the \"crease\" setting."},
      {"Tarnis_LineSet/materialRespectiveEnable", "Material borders use the \"material\" setting."},
      {"Tarnis_LineSet/smoothRespectiveEnable", "Smoothing borders use the \"smoothing\" setting."},
      {"Tarnis_LineSet/isectRespectiveEnable", "Intersections use the \"intersection\" setting."},
      {"Tarnis_LineSet/lineSizeMapAmount", "The base setting's size-map strength, percent."},
      {"Tarnis_LineSet/lineSizeMapEnable", "The base setting's lineSizeMapEnable."},
      {"Tarnis_LineSet/lineSizeMap", "The base setting's size map."},
      {"Tarnis_LineSet/edgeObject", "Draw outlines and open borders (on for visible lines)."},
      {"Tarnis_LineSet/edgeOutlineOnly", "Of those, only the outer silhouette."},
      {"Tarnis_LineSet/edgeNormal", "Draw creases between edgeNormalMin and edgeNormalMax."},
      {"Tarnis_LineSet/edgeNormalMax", "Largest angle between face normals of a crease, degrees."},
      {"Tarnis_LineSet/edgeNormalMin", "Smallest angle between face normals of a crease, degrees."},
      {"Tarnis_LineSet/edgeMatID", "Draw borders between material ids (on for visible lines)."},
      {"Tarnis_LineSet/edgeSmooth",
       "Draw borders between smoothing groups (on for visible lines)."},
      {"Tarnis_LineSet/edgeIsect", "Draw where surfaces pass through each other."},
      {"Tarnis_LineSet/edgeNormalWire",
       "Creases are the mesh's visible edges instead of "
       "the angle test."},
      {"Tarnis_LineSet/lineZMin", "Distance (scene units) where the size change starts."},
      {"Tarnis_LineSet/lineZMax", "Distance (scene units) where the size change ends."},
      {"Tarnis_LineSet/lineZScaleEnable", "Line size changes with distance from the camera."},
      {"Tarnis_LineSet/lineZAlphaMin", "Distance (scene units) where the fade starts."},
      {"Tarnis_LineSet/lineZAlphaMax", "Distance (scene units) where the fade ends."},
      {"Tarnis_LineSet/lineZAlphaMaxValue", "Opacity at lineZAlphaMax and beyond, percent."},
      {"Tarnis_LineSet/lineZAlphaEnable", "Line opacity fades with distance from the camera."},
      {"Tarnis_LineSet/lineZScaleObjectEnable",
       "Measure the size distance from "
       "lineZScaleObjectNode instead of the camera."},
      {"Tarnis_LineSet/lineZScaleObjectNode", "Node the size distance is measured from."},
      {"Tarnis_LineSet/lineZAlphaObjectEnable",
       "Measure the fade distance from "
       "lineZAlphaObjectNode instead of the camera."},
      {"Tarnis_LineSet/lineZAlphaObjectNode", "Node the fade distance is measured from."},
      // Line settings.
      {"Tarnis_LineSetting/lineColor", "Line colour, 0 to 1 per channel."},
      {"Tarnis_LineSetting/lineMapOpacity",
       "How strongly the line map replaces the colour, "
       "percent."},
      {"Tarnis_LineSetting/lineMap", "Map sampled along the line for its colour (reference 1)."},
      {"Tarnis_LineSetting/lineMapEnable", "Use the line map."},
      {"Tarnis_LineSetting/lineBlend",
       "How lines blend with the image: 0 normal, 1 add, "
       "2 subtract, 3 multiply, 4 screen, 5 overlay, "
       "6 soft light, 7 hard light, 8 darken, 9 lighten, "
       "10 difference, 11 exclusion, 12 hue, 13 saturation, "
       "14 colour, 15 luminosity."},
      {"Tarnis_LineSetting/lineAlpha", "Line opacity, percent (100 opaque)."},
      {"Tarnis_LineSetting/lineSize",
       "Line width, pixels (scaled with the image when "
       "lineSizeType is 1)."},
      {"Tarnis_LineSetting/lineStretch",
       "Stroke stretch, percent; the same value as the "
       "brush's brushMapStretch."},
      {"Tarnis_LineSetting/lineAngle",
       "Stroke angle, degrees; the same value as the brush's "
       "brushMapAngle."},
      {"Tarnis_LineSetting/lineSizeMapEnable", "Use the size map."},
      {"Tarnis_LineSetting/lineSizeMapAmount",
       "How strongly the size map scales the width, "
       "percent."},
      {"Tarnis_LineSetting/lineSizeMap",
       "Map sampled along the line that scales its width "
       "(reference 3)."},
      // Brushes: the tip.
      {"Tarnis_LineBrush/brushMapMapOpacity", "Weight of the tip map, percent."},
      {"Tarnis_LineBrush/brushMapMapEnable", "Use the tip map."},
      {"Tarnis_LineBrush/brushMapMap", "Map whose brightness shapes the tip."},
      {"Tarnis_LineBrush/brushMapType", "Tip: 0 soft round, 1 dot pattern, 2 flat disc."},
      {"Tarnis_LineBrush/brushMapStretch",
       "Elongation of the tip; negative values stretch it "
       "the other way."},
      {"Tarnis_LineBrush/brushMapStretchRnd", "Random reduction of the stretch, percent."},
      {"Tarnis_LineBrush/brushMapAngle", "Tip rotation, degrees."},
      {"Tarnis_LineBrush/brushMapAngleRnd", "Random rotation range, degrees."},
      {"Tarnis_LineBrush/brushMapGroove", "Depth of the notches on the tip's rim, percent."},
      {"Tarnis_LineBrush/brushMapGrooveNUM", "Number of notches."},
      {"Tarnis_LineBrush/brushMapSize", "Dot size of the dot pattern."},
      {"Tarnis_LineBrush/brushMapSizeRnd", "Dot size randomness, percent."},
      {"Tarnis_LineBrush/brushMapAnti", "Dot edge softness, percent."},
      {"Tarnis_LineBrush/brushMapHSpace", "Horizontal gap between dots."},
      {"Tarnis_LineBrush/brushMapHSpaceRand", "Horizontal jitter of dots, percent."},
      {"Tarnis_LineBrush/brushMapVSpace", "Vertical gap between dots."},
      {"Tarnis_LineBrush/brushMapVSpaceRand", "Vertical jitter of dots, percent."},
      {"Tarnis_LineBrush/brushMapDampStart",
       "Radius where the soft tip starts to fade, percent "
       "of the tip radius."},
      {"Tarnis_LineBrush/brushMapDampEnd", "Radius where the soft tip has faded out, percent."},
      // Brushes: strokes.
      {"Tarnis_LineBrush/brushMapStrokeType", "Stroke type: 0 normal, 1 rake, 2 random."},
      {"Tarnis_LineBrush/brushMapstrokeType2",
       "0 solid, 1 dashed (brushMapStrokeLength "
       "dashes, brushMapSpacing gaps)."},
      {"Tarnis_LineBrush/brushMapStrokeLength", "Dash length, pixels."},
      {"Tarnis_LineBrush/brushMapStrokeLengthRnd", "Dash length randomness, percent."},
      {"Tarnis_LineBrush/brushMapStrokeSizeRnd", "Stroke width randomness, percent."},
      {"Tarnis_LineBrush/brushMapSpacing", "Gap between dashes, pixels."},
      {"Tarnis_LineBrush/brushMapSpaceingRnd", "Gap randomness, percent."},
      {"Tarnis_LineBrush/brushMapOvershoot", "Strokes run on past the line ends, pixels."},
      {"Tarnis_LineBrush/brushMapOvershootRnd", "Overshoot randomness, percent."},
      {"Tarnis_LineBrush/brushMapMultiple", "Number of times each line is drawn."},
      {"Tarnis_LineBrush/brushMapMultipleRnd", "Up to this many extra copies, at random."},
      {"Tarnis_LineBrush/brushMapNormalOffset", "Copies move sideways off the line, pixels."},
      {"Tarnis_LineBrush/brushMapNormalOffsetRnd", "Random sideways offset, pixels."},
      {"Tarnis_LineBrush/brushMapOffsetX", "Copies move along X, pixels."},
      {"Tarnis_LineBrush/brushMapOffsetXRnd", "Random X offset, pixels."},
      {"Tarnis_LineBrush/brushMapOffsetY", "Copies move along Y, pixels."},
      {"Tarnis_LineBrush/brushMapOffsetYRnd", "Random Y offset, pixels."},
      {"Tarnis_LineBrush/limitAngle",
       "A line is split where it turns more sharply than this, "
       "degrees."},
      {"Tarnis_LineBrush/minimumLength", "Lines shorter than this are dropped, pixels."},
      {"Tarnis_LineBrush/combineLength", "Line ends closer than this are joined, pixels."},
      {"Tarnis_LineBrush/directionAngle", "Screen direction open lines are drawn in, degrees."},
      {"Tarnis_LineBrush/loopDirection",
       "Closed loops are drawn 0 clockwise, 1 counter-clockwise."},
      // Brushes: wobble, taper, colour range.
      {"Tarnis_LineBrush/brushNoiseEnable", "Wobble the stroke path sideways."},
      {"Tarnis_LineBrush/brushNoiseMap", "Map that varies the wobble."},
      {"Tarnis_LineBrush/brushMapNoiseMapOpacity", "Weight of the wobble map, percent."},
      {"Tarnis_LineBrush/brushNoiseMapEnable", "Use the wobble map."},
      {"Tarnis_LineBrush/brushMapNoiseAmp", "Wobble amplitude, pixels."},
      {"Tarnis_LineBrush/brushMapNoiseAmpRandom",
       "Amplitude randomness from stroke to stroke, "
       "percent."},
      {"Tarnis_LineBrush/brushMapNoisePeriod", "Wobble wavelength along the stroke, pixels."},
      {"Tarnis_LineBrush/brushMapNoisePeriodRandom", "Wavelength randomness, percent."},
      {"Tarnis_LineBrush/brushMapNoisePhase", "Shifts the wave along the stroke, in periods."},
      {"Tarnis_LineBrush/brushMapNoisePhaseRandom",
       "Random phase shift per stroke, percent of "
       "a period."},
      {"Tarnis_LineBrush/brushDampSizeEnable", "Strokes taper in width along their length."},
      {"Tarnis_LineBrush/brushDampAlphaEnable", "Strokes fade in opacity along their length."},
      {"Tarnis_LineBrush/colorModType",
       "How colorModR/G/B vary the colour: 0 RGB channels, "
       "1 hue, saturation and value."},
      {"Tarnis_LineBrush/colorModR",
       "Each stroke's red (or hue) moves at random by up to this, "
       "percent of full scale."},
      {"Tarnis_LineBrush/colorModG", "As colorModR for green (or saturation)."},
      {"Tarnis_LineBrush/colorModB", "As colorModR for blue (or value)."},
      // The toon material.
      {"Tarnis_Material/baseMaterial",
       "Material shaded first: its colour shows where a zone is off or blends over it, and it "
       "gives transparency and shadows."},
      {"Tarnis_Material/shade",
       "How much of the base material's own lighting shows in its pass, percent (0: flat)."},
      {"Tarnis_Material/hiColor", "Highlight colour."},
      {"Tarnis_Material/hiBlend", "Blend mode of the highlight (0 normal ... 15 luminosity)."},
      {"Tarnis_Material/hiAlpha", "Highlight opacity, percent."},
      {"Tarnis_Material/hiLevel", "Highlight strength, percent (0: no highlight)."},
      {"Tarnis_Material/hiGross", "Highlight glossiness, percent: higher is smaller and sharper."},
      {"Tarnis_Material/hiAniso",
       "Highlight anisotropy, percent: stretches it into a streak across the surface."},
      {"Tarnis_Material/hiOrient", "Turn of an anisotropic highlight, hundredths of a degree."},
      {"Tarnis_Material/hiSharp", "Sharpness of the highlight's edge, percent (100: hard)."},
      {"Tarnis_Material/hiMapOpacity", "Weight of the highlight colour map, percent."},
      {"Tarnis_Material/hiMapEnable", "Use the highlight colour map."},
      {"Tarnis_Material/hiMap", "Map giving the highlight's colour."},
      {"Tarnis_Material/hiLevelMap", "Map whose brightness scales the highlight strength."},
      {"Tarnis_Material/hiGrossMap", "Map whose brightness scales the highlight glossiness."},
      {"Tarnis_Material/bumpEnable", "Use the bump map."},
      {"Tarnis_Material/bumpAmount", "Bump strength, percent (negative: inverted)."},
      {"Tarnis_Material/bumpMap", "Map that bends the shading normal."},
      {"Tarnis_Material/reflecEnable", "Add the reflection map."},
      {"Tarnis_Material/reflecAmount", "Reflection strength, percent."},
      {"Tarnis_Material/reflecMap", "Map added as reflection (environment maps follow the view)."},
      {"Tarnis_Material/rndAuto", "Re-seed the strokes' randomness as time goes on."},
      {"Tarnis_Material/rndInterval", "Frames per re-seed step."},
      {"Tarnis_Material/rndMoveDetect", "Re-seed only while the object moves."},
      {"Tarnis_Material/strokeOnly", "Draw only the strokes; the rest becomes transparent."},
      {"Tarnis_Material/strokeScale", "Size of the strokes, percent."},
      {"Tarnis_Material/strokeHiddenFace", "In stroke-only output, hide what lies behind."},
      {"Tarnis_Material/extMaterial", "The advanced-settings material (Tarnis_MaterialExt)."},
      {"Tarnis_Material/zoneMin", "Where the zone's full-strength core starts, percent of the "
                                  "gradation (0 shadow side, 100 lit side)."},
      {"Tarnis_Material/zoneMax", "Where the core ends; a gap to the next zone cross-fades."},
      {"Tarnis_Material/zoneEnable", "Zone on; off shows the base material's colour."},
      {"Tarnis_Material/zoneColor", "Zone colour."},
      {"Tarnis_Material/zoneMapOpacity", "Weight of the zone map, percent."},
      {"Tarnis_Material/zoneMapEnable", "Use the zone map."},
      {"Tarnis_Material/zoneMap", "Map giving the zone's colour."},
      {"Tarnis_Material/zoneBlend",
       "Blend mode of the zone colour over the base colour (0 normal, 3 multiply ...)."},
      {"Tarnis_Material/zoneAlpha", "Blend amount of the zone colour, percent."},
      {"Tarnis_Material/strokeEnable", "Per stroke slot (six): stroke map on."},
      {"Tarnis_Material/stroke", "Six stroke-map slots; only stroke maps are kept."},
      // Advanced toon settings.
      {"Tarnis_MaterialExt/gradOffsetEnable", "Shift the gradation by a map."},
      {"Tarnis_MaterialExt/gradOffsetAmount", "Strength of the shift, percent."},
      {"Tarnis_MaterialExt/gradOffsetMap", "Map whose brightness shifts the gradation."},
      {"Tarnis_MaterialExt/gradOffsetMapOfs", "Added to the map's brightness before scaling."},
      {"Tarnis_MaterialExt/sblendEnable", "Colour the cast shadows."},
      {"Tarnis_MaterialExt/sblendColor", "Shadow colour."},
      {"Tarnis_MaterialExt/sblendMapOpacity", "Weight of the shadow map, percent."},
      {"Tarnis_MaterialExt/sblendMapEnable", "Use the shadow map."},
      {"Tarnis_MaterialExt/sblendMap", "Map giving the shadow colour."},
      {"Tarnis_MaterialExt/sblendBlend", "Blend mode of the shadow colour (3 multiply ...)."},
      {"Tarnis_MaterialExt/sblendAlpha", "Shadow colour amount, percent."},
      {"Tarnis_MaterialExt/lightcolEnable", "Tint zones by the lights' colour."},
      {"Tarnis_MaterialExt/lightcolBlend", "Blend mode of the light colour."},
      {"Tarnis_MaterialExt/lightcolAlpha", "Light colour amount, percent."},
      {"Tarnis_MaterialExt/lightcolZone", "Per zone (four): takes the light colour."},
      {"Tarnis_MaterialExt/lightcolRelpaceEnable",
       "Pull the light colour towards a replacement colour."},
      {"Tarnis_MaterialExt/lightcolRelpaceColor", "Replacement colour."},
      {"Tarnis_MaterialExt/lightcolReplaceAmount", "Replacement amount, percent."},
      {"Tarnis_MaterialExt/hiZoneEnable", "Reshape the highlight by the designed outline."},
      {"Tarnis_MaterialExt/hiZoneAmount", "How strongly the outline reshapes it, percent."},
      {"Tarnis_MaterialExt/hiZoneAngle", "Turn of the outline, degrees."},
      {"Tarnis_MaterialExt/zoneAnti", "Width of the soft zone borders (100: about a pixel)."},
      {"Tarnis_MaterialExt/zoneAntiEnable", "Soften zone borders against stair steps."},
      // The toon material's shader.
      {"TarmatExtShader/ambient", "Ambient colour."},
      {"TarmatExtShader/diffuse", "Diffuse colour."},
      {"TarmatExtShader/specular", "Specular colour."},
      {"TarmatExtShader/selfIllumColor", "Self-illumination colour."},
      {"TarmatExtShader/diffuseLevel", "Diffuse level, percent."},
      {"TarmatExtShader/specularLevel", "Highlight level, percent (set from hiLevel)."},
      {"TarmatExtShader/selfIllumAmount", "Self-illumination, percent."},
      {"TarmatExtShader/glossiness", "Glossiness, percent (set from hiGross)."},
      {"TarmatExtShader/anisotropy", "Anisotropy, percent (set from hiAniso)."},
      {"TarmatExtShader/orientation", "Turn of the highlight (set from hiOrient)."},
      {"TarmatExtShader/unused", "Map channel; not used."},
      {"TarmatExtShader/adTextureLock", "Ambient and diffuse share their map."},
      {"TarmatExtShader/adLock", "Ambient follows the diffuse colour."},
      {"TarmatExtShader/dsLock", "Specular follows the diffuse colour."},
      {"TarmatExtShader/useSelfIllumColor", "Self-illumination by colour instead of amount."},
      // The shape control.
      {"QvPolygonCtrl/polyNodeAngle", "Direction of each node from the centre, radians."},
      {"QvPolygonCtrl/polyNodeRadius",
       "Distance of each node from the centre; 1 is the edge of the editor's circle."},
      {"QvPolygonCtrl/polyNodeResetNum", "Nodes a reset lays out on a circle."},
      {"QvPolygonCtrl/polyNodeTYPE", "Kind of each node: 0 corner, 1 smooth, 2 free."},
      {"QvPolygonCtrl/polyHandle0", "First handle of each node, as an offset from the node."},
      {"QvPolygonCtrl/polyHandle1", "Second handle of each node, as an offset from the node."},
  };
  return t;
}

std::string find(const Table& t, const std::string& key) {
  auto it = t.find(key);
  return it == t.end() ? std::string() : it->second;
}

}  // namespace

std::string ClassMeaning(const std::string& className) {
  return find(classes(), className);
}

std::string BlockMeaning(const std::string& className, const std::string& block) {
  return find(blocks(), className + "/" + block);
}

std::string ParamMeaning(const std::string& className, const std::string& block,
                         const std::string& param) {
  if (std::string exact = find(params(), className + "/" + param); !exact.empty()) return exact;
  // Blocks numbered by line type (type1, damp2) suffix their parameters with the number.
  if (!block.empty() && !param.empty() && std::isdigit(static_cast<unsigned char>(block.back())) &&
      param.back() == block.back()) {
    return find(params(), className + "/" + param.substr(0, param.size() - 1));
  }
  return {};
}

}  // namespace tarnis_cli
