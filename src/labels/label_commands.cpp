#include "labels/label_commands.h"

#include <cmath>

#include "platform/cp1252.h"

namespace imp::labels {

std::string epl2_text(int x, int y, int font, int vmul, std::string_view data) {
  std::string line = "A";
  line.append(std::to_string(x)).append(",").append(std::to_string(y)).append(",0,");
  line.append(std::to_string(font)).append(",1,").append(std::to_string(vmul)).append(",N,\"");
  for (char c : cp1252::printable(data)) {
    if (c == '"' || c == '\\') line.push_back('\\');
    line.push_back(c);
  }
  line.push_back('"');
  return line;
}

std::string zpl_data(std::string_view data, bool utf8) {
  std::string field;
  for (char c : cp1252::printable(data)) {
    if (c == '\\')
      field.append("\\5C");
    else if (c == '^')
      field.append("\\5E");
    else if (c == '~')
      field.append("\\7E");
    else
      field.push_back(c);
  }
  return utf8 ? cp1252::to_utf8(field) : field;
}

int label_units(double quantity) {
  constexpr double kMostLabels = 999;
  if (!std::isfinite(quantity) || quantity > kMostLabels || quantity < 1) return 1;
  return static_cast<int>(std::floor(quantity));
}

void add_line(std::string& label, std::string_view line) {
  label.append(line).append("\r\n");
}

}  // namespace imp::labels
