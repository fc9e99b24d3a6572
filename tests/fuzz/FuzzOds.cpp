// The OpenDocument reader over arbitrary bytes: a zip archive is read as a package (whatever its
// mimetype says), anything else as a flat document. A ReadError (or the zip reader's
// ContainerError for an archive it refuses) is the expected answer to bad input; anything else is
// a finding.
#include <cstddef>
#include <cstdint>
#include <span>

#include "spreadsheet/container/Zip.h"
#include "spreadsheet/ods/OdsReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  try {
    if (quillane::container::Zip::IsZip(bytes)) {
      const quillane::container::Zip zip(bytes);
      quillane::ods::IsOpenDocument(zip);
      quillane::ods::ReadOpenDocumentPackage(zip);
    } else {
      quillane::ods::ReadFlatOpenDocument(bytes);
    }
  } catch (const quillane::ods::ReadError&) {
  } catch (const quillane::container::ContainerError&) {
  }
  return 0;
}
