// Component streams from readable text, so that stored settings can be kept as source:
//
//   object OrvalisMain: TOrvalisMain
//     Tag = 0
//     Caption = 'Orvalis'               (strings in single quotes, '' for a quote, joined by +)
//     Ratio = 1.5
//     Options = [doFullScreen, doFlip]  (sets)
//     Color = clBlack                   (identifiers: enumerations, colours, True/False/nil,
//     OnCreate = FormCreate              event handlers and component names)
//     Display.Width = 1024              (paths into nested objects)
//     Assigns = {0A0B0C}                (binary blocks in hexadecimal, may span lines)
//     Items = <                         (collections)
//       item
//         Name = 'ship'
//       end>
//     object DXDraw: TDXDraw            (child components)
//     end
//   end
//
// "//" starts a comment that runs to the end of the line.
#pragma once

#include <string_view>

#include "runtime/ComponentStream.h"

class EParserError : public Exception {
 public:
  using Exception::Exception;
};

// Writes the component stream the text describes; malformed text raises EParserError
// "<what> in Zeile <line>".
void ObjectTextToBinary(std::string_view Text, TStream& Output);
// Reads the component the text describes into Root, as ReadComponent reads a stream.
void ReadComponentText(std::string_view Text, TComponent* Root);
