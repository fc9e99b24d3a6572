// Reads lines "kind TAB format TAB value [TAB ...]" (the layout of tests/data/format/oracle.tsv)
// and writes "kind TAB format TAB value TAB shown" with the text this engine shows.
// kind: n (1900 date system), n1904, s (text value), b (built-in format index).
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "spreadsheet/format/NumberFormat.h"

using quillane::format::BuiltinFormat;
using quillane::format::NumberFormat;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: format_probe cases.tsv\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 1;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::size_t a = line.find('\t');
    std::size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
    if (b == std::string::npos) continue;
    std::size_t c = line.find('\t', b + 1);
    std::string kind = line.substr(0, a);
    std::string code = line.substr(a + 1, b - a - 1);
    std::string value = line.substr(b + 1, c == std::string::npos ? std::string::npos : c - b - 1);
    std::string shown;
    if (kind == "s") {
      shown = NumberFormat(code).FormatText(value).text;
    } else {
      std::string fmt =
          kind == "b" ? std::string(BuiltinFormat(static_cast<uint16_t>(std::atoi(code.c_str()))))
                      : code;
      if (kind == "b" && fmt.empty()) fmt = "General";
      shown = NumberFormat(fmt).Format(std::strtod(value.c_str(), nullptr), kind == "n1904").text;
    }
    std::cout << kind << '\t' << code << '\t' << value << '\t' << shown << '\n';
  }
  return 0;
}
