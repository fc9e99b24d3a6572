# The workbook reader: in-memory record streams and the small workbooks of tests/data/biff.
quillane_test(test_biff_reader
  SOURCES ReaderTest.cpp ReaderDamageTest.cpp ChartTest.cpp CondFormatReaderTest.cpp
  DEPS spreadsheet
  LABELS biff)
# The reader over the shared corpus of real workbooks (skipped when the corpus is absent).
quillane_test(test_biff_corpus
  SOURCES CorpusTest.cpp
  DEPS spreadsheet
  LABELS biff corpus)
