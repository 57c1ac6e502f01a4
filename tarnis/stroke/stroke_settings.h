// The stroke map's user defaults in "tarnis_stroke.ini": the profile curves
// new maps start from, and the save-as-default step of the map's panels,
// which writes the damping and colour-range blocks (with their curves) and
// makes them the defaults of maps made afterwards. The block defaults are
// read at start-up by LoadStrokeDefaults (stroke_params.h).
#pragma once

class CurveControl;

namespace tarnis {

class IniHandler;
class Stroke;

// Gives `curve` the user's shape of the profile of block `block`
// (kStrokeBlockDampSize: "StrokeDampSizeCurve", kStrokeBlockDampAlpha:
// "StrokeDampAlphaCureve") from the stroke settings file, or the built-in
// two-node shape when the file does not hold it whole.
void LoadStrokeCurve(CurveControl& curve, int block);

// Writes the current values of the stroke map's block `block` (a damping or
// colour-range block) into its section of `ini`, with the block's curve for
// the damping blocks, then makes what the file holds the defaults of the
// block's descriptor. False when the map lacks the block or its curve, the
// block has no section, or the section could not be written.
bool SaveStrokeBlockDefaults(Stroke& stroke, int block, IniHandler& ini);
// SaveStrokeBlockDefaults for the two damping blocks and the colour range;
// true when all three were written.
bool SaveStrokeDefaults(Stroke& stroke, IniHandler& ini);

}  // namespace tarnis
