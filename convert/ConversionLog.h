// The conversion log: one coded line per workbook, gathered in memory during a run and appended
// to the log file in one write at its end.
#pragma once

#include <ctime>
#include <locale>
#include <string>

namespace quillane::convert {

// The time of day as the locale writes a time ("%X"; "%H:%M:%S" in the classic locale).
std::string TimeOfDayText(const std::tm& time, const std::locale& locale);
// The locale's short date ("%x") with every "/" and "\" removed.
std::string ShortDateText(const std::tm& time, const std::locale& locale);

// The code a log line carries.
enum class LogCode {
  Converted = 100,      // every chosen sheet was published
  OutputExists = 101,   // skipped: the output path exists and overwriting is off
  SourceMissing = 102,  // the workbook is missing or a folder
  Failed = 103,         // the workbook could not be converted; the line says why
};

// A log line: the current time of day followed by one of the coded texts below.
std::string LogLine(const std::string& codedText);
std::string Line100(const std::string& source, const std::string& output);
std::string Line101(const std::string& output);
std::string Line102(const std::string& source);
std::string Line103(const std::string& source, const std::string& message);

// A field of a log line kept on the one line: control characters are shown escaped (\n, \r,
// \t, and \xHH for the others, DEL included); everything else stays as it is.
std::string OneLineField(const std::string& text);

// The coded texts, without the time. Paths and messages pass through OneLineField.
std::string Text100(const std::string& source, const std::string& output);
std::string Text101(const std::string& output);
std::string Text102(const std::string& source);
std::string Text103(const std::string& source, const std::string& message);

// The day's log file: the log folder followed by the short date and ".log". The folder is the
// program's folder when it is writable, else $XDG_STATE_HOME/quillane (by default
// ~/.local/state/quillane), created on demand.
std::string DefaultLogPath();
// The log folder alone, ending with a separator (see DefaultLogPath).
std::string DefaultLogFolder();

// The lines of one batch run, in the order produced, separated by CR LF.
class RunLog {
 public:
  void Gather(const std::string& line);
  const std::string& Text() const { return text_; }
  bool Empty() const { return text_.empty(); }
  // Whether AppendTo writes through a symbolic link at the path: a log the user named may be one
  // (-l /dev/stdout); the default dated log never is, so that nobody can plant one there.
  enum class Links { Follow, Refuse };
  // Appends the text and a CR LF to `path` in one write (the file is created when missing), whole
  // or not at all: a write that fails part-way (a full disk) cuts a plain file back to the size it
  // had. Runs appending to one file at once take turns. Nothing is written when the run has no
  // lines. False, with `error` set, when the file could not be opened or written.
  bool AppendTo(const std::string& path, std::string& error, Links links = Links::Follow) const;

 private:
  std::string text_;
};

}  // namespace quillane::convert
