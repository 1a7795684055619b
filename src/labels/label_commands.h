// The pieces of the label printers' page languages that carry data: EPL2 text lines and ZPL II field data.
// Data never changes the commands around it: control characters print as blanks and the characters the
// language reads as commands are escaped.
#pragma once

#include <string>
#include <string_view>

namespace imp::labels {

// One EPL2 text line: A<x>,<y>,0,<font>,1,<vmul>,N,"<data>", with " as \" and \ as \\ inside the data.
std::string epl2_text(int x, int y, int font, int vmul, std::string_view data);

// ZPL II field data for a field with ^FH\: \ ^ ~ as \5C \5E \7E. A field between ^CI28 and ^CI27 declares
// UTF-8, so its text is sent in UTF-8 (`utf8`); the other fields keep Windows-1252.
std::string zpl_data(std::string_view data, bool utf8);

// How many labels a row gets: one per whole unit (2.5 gives two), at least one. A quantity that is not a
// number or is above 999 units gets one, instead of holding the printer (and every later order) for good.
int label_units(double quantity);

// Adds a line of a label file: the text and CR LF.
void add_line(std::string& label, std::string_view line);

}  // namespace imp::labels
