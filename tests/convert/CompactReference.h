// A plain transcription of the compaction algorithm: cut each block and search again from the
// beginning; then each replacement over the whole text. Slow (quadratic), obviously right; the
// fast CompactHtmlText must give the same bytes for every input.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillane::testing {

inline std::string ReferenceReplace(const std::string& text, const std::string& find,
                                    const std::string& with) {
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(find, start);
    if (at == std::string::npos) break;
    out += text.substr(start, at - start) + with;
    start = at + find.size();
  }
  return out + text.substr(start);
}

inline std::string ReferenceCompact(std::string text) {
  const std::string dq = "\"";
  const std::vector<std::pair<std::string, std::string>> blocks = {
      {"<meta name=" + dq + "Excel", ">"},
      {"<meta name=ProgId", ">"},
      {"<meta name=Generator", ">"},
      {"<link rel=Edit-Time-Data", ">"},
      {"<link rel=OLE-Object-Data", ">"},
      {"<!--[if gte mso 9]>", "<![endif]-->"},
      {"<!--[if gte vml 1]>", "<![endif]-->"},
      {"<!--[if !mso]>", "<![endif]-->"},
      {"<![if supportMisalignedColumns]>", "<![endif]>"},
  };
  for (const auto& [start, end] : blocks) {
    size_t p1 = text.find(start);
    size_t p2 = p1 == std::string::npos ? std::string::npos : text.find(end, p1 + 1);
    while (p1 != std::string::npos && p2 != std::string::npos) {
      text = text.substr(0, p1) + text.substr(p2 + end.size());
      p1 = text.find(start);
      p2 = p1 == std::string::npos ? std::string::npos : text.find(end, p1 + 1);
    }
  }
  const std::string crlf = "\r\n";
  const std::vector<std::pair<std::string, std::string>> replacements = {
      {"   ", ""},
      {"  ", ""},
      {" style='border-top:none;border-left:none'", ""},
      {" style='mso-ignore:colspan'", ""},
      {" style='style='border-left:none'", ""},
      {" style='style='border-left:none'", ""},
      {";border-top:none", ""},
      {"mso-height-source:userset;", ""},
      {"xmlns:o=" + dq + "urn:schemas-microsoft-com:office:office" + dq, ""},
      {"xmlns:x=" + dq + "urn:schemas-microsoft-com:office:excel" + dq, ""},
      {"xmlns=" + dq + "http://www.w3.org/TR/REC-html40" + dq, ""},
      {crlf + crlf, crlf},
      {crlf + crlf, crlf},
      {"<table ", "<table style='border-collapse:collapse' "},
  };
  for (const auto& [find, with] : replacements) text = ReferenceReplace(text, find, with);
  return text;
}

}  // namespace quillane::testing
