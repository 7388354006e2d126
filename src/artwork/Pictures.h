#pragma once
// The editor's ten pictures, drawn procedurally at any device scale: at
// 100 % they are the pictures the build puts into the editor's form; at
// another scale the editor redraws its loaded pictures with them.

#include <memory>
#include <string>
#include <vector>

#include "dib/cDIB.h"

class TCustomDIBImageList;

namespace tarnwick::artwork {

// One picture of the editor's image list, with its drawing settings set.
struct EditorPicture {
    std::string displayName;
    int frames = 1;
    std::unique_ptr<TMemoryDIB> dib;
};

// The knob film strip's geometry: frames, frame size, and the indicator's
// direction at a frame in degrees clockwise from straight up.
inline constexpr int kKnobFrames = 63;
inline constexpr int kKnobSize = 80;
double KnobIndicatorDegrees(int frame);

// The ten pictures at a scale in percent, in image-list order, every frame
// drawn. Each frame is ScaledPixels of its 100 % size on each side.
std::vector<EditorPicture> DrawEditorPictures(int percent = 100);
// Appends the ten pictures (at 100 %) to the list as items.
void AddEditorPictures(TCustomDIBImageList& list);

// Redraws, at a scale in percent, the pictures of a list made from the
// editor's form: each item named as one of the ten gets that picture's
// pixels at the scale (its drawing settings stay the list's). Film strips
// of more than two frames are drawn frame by frame on first use (see
// TAbstractSuperDIB::SetFrameSource). Items of other names stay as they are.
void RedrawEditorPictures(TCustomDIBImageList& list, int percent);

}  // namespace tarnwick::artwork
