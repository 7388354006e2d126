#pragma once
// The build step that puts the editor's pictures into its form.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "artwork/Pictures.h"

class TCustomDIBImageList;

namespace tarnwick::artwork {

// The form text with the empty image-list object named listName replaced by
// the full list; std::runtime_error when the form has no such empty object.
std::string SpliceImageList(const std::string& formText, const std::string& listName,
                            TCustomDIBImageList& list);
// The editor form: the text with DIBImageList1 filled, in binary form.
std::vector<std::uint8_t> BuildEditorForm(const std::string& formText);
// A C++ source defining tarnwick::EditorFormBytes() over these bytes.
std::string FormBytesToCpp(std::span<const std::uint8_t> bytes);

}  // namespace tarnwick::artwork
