#pragma once
// The editor's pictures and the build step that puts them into its form.

#include <cstdint>
#include <memory>
#include <span>
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

// The ten pictures, in image-list order.
std::vector<EditorPicture> DrawEditorPictures();
// Appends the ten pictures to the list as items.
void AddEditorPictures(TCustomDIBImageList& list);

// The form text with the empty image-list object named listName replaced by
// the full list; std::runtime_error when the form has no such empty object.
std::string SpliceImageList(const std::string& formText, const std::string& listName,
                            TCustomDIBImageList& list);
// The editor form: the text with DIBImageList1 filled, in binary form.
std::vector<std::uint8_t> BuildEditorForm(const std::string& formText);
// A C++ source defining tarnwick::EditorFormBytes() over these bytes.
std::string FormBytesToCpp(std::span<const std::uint8_t> bytes);

}  // namespace tarnwick::artwork
