#pragma once
// The text form of component streams, for forms kept in the repository, e.g.
//   object Form1: TForm1
//     Left = 10
//     Caption = 'Gate'#13#10'two'
//     Scale = 100.0
//     Styles = [fsBold, fsItalic]
//     OnChange = Form1Change
//     Data = {
//       0D000D00...}
//     Items = <
//       item
//         Width = 3
//       end>
//     object Knob1: TKnob
//     end
//   end
// Conversion is structural (no classes involved) and lossless: text written
// from a binary stream converts back to the same bytes. Malformed input raises
// EParserError "<message> on line <n>" (text) or EReadError (binary).

#include <memory>
#include <string>

#include "objects/Streaming.h"

void ObjectBinaryToText(TStream& input, TStream& output);
void ObjectTextToBinary(TStream& input, TStream& output);
std::string ComponentToText(TComponent* root);
std::unique_ptr<TComponent> ComponentFromText(const std::string& text);
TComponent* ComponentFromText(const std::string& text, TComponent* root);
