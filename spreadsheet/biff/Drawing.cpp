#include "spreadsheet/biff/Drawing.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "spreadsheet/container/Inflate.h"
#include "spreadsheet/biff/Records.h"
#include "spreadsheet/biff/Text.h"

namespace quillane::biff {

namespace {

// Office drawing record types.
constexpr uint16_t kDggContainer = 0xF000;
constexpr uint16_t kBStoreContainer = 0xF001;
constexpr uint16_t kDgContainer = 0xF002;
constexpr uint16_t kSpgrContainer = 0xF003;
constexpr uint16_t kSpContainer = 0xF004;
constexpr uint16_t kFbse = 0xF007;
constexpr uint16_t kFopt = 0xF00B;
constexpr uint16_t kSpgr = 0xF009;
constexpr uint16_t kChildAnchor = 0xF00F;
constexpr uint16_t kClientAnchor = 0xF010;

constexpr int kMaxDepth = 16;

struct Atom {
  uint16_t inst = 0;
  uint16_t type = 0;
  bool container = false;
  std::span<const uint8_t> body;  // clipped to the data there is
};

// Reads the record header at `pos`; false when fewer than 8 bytes remain. A length that runs past
// the end is cut at the end.
bool ReadAtom(std::span<const uint8_t> data, size_t& pos, Atom& atom) {
  if (data.size() < 8 || pos > data.size() - 8) return false;
  uint16_t verInst = Le16(&data[pos]);
  atom.inst = verInst >> 4;
  atom.container = (verInst & 0xF) == 0xF;
  atom.type = Le16(&data[pos + 2]);
  uint32_t length = Le32(&data[pos + 4]);
  size_t body = pos + 8;
  size_t available = data.size() - body;
  size_t take = std::min<size_t>(length, available);
  atom.body = data.subspan(body, take);
  pos = body + take;
  return true;
}

model::BlipType BlipTypeOf(uint16_t type) {
  switch (type) {
    case 0xF01A:
      return model::BlipType::Emf;
    case 0xF01B:
      return model::BlipType::Wmf;
    case 0xF01C:
      return model::BlipType::Pict;
    case 0xF01D:
    case 0xF02A:
      return model::BlipType::Jpeg;
    case 0xF01E:
      return model::BlipType::Png;
    case 0xF01F:
      return model::BlipType::Dib;
    case 0xF029:
      return model::BlipType::Tiff;
    default:
      return model::BlipType::Unknown;
  }
}

// What is left of the unpacking budget, and the bytes unpacked so far.
struct Unpacking {
  size_t budget = 0;
  size_t done = 0;
};

model::Blip ReadBlip(const Atom& fbse, Unpacking& work) {
  model::Blip blip;
  // The store entry: 36 bytes of fixed fields, the name, then the picture record itself.
  std::span<const uint8_t> body = fbse.body;
  if (body.size() < 36) return blip;
  size_t nameLength = body[33];
  size_t pos = 36 + nameLength;
  Atom picture;
  if (!ReadAtom(body, pos, picture)) return blip;
  model::BlipType type = BlipTypeOf(picture.type);
  if (type == model::BlipType::Unknown) return blip;
  bool metafile =
      type == model::BlipType::Emf || type == model::BlipType::Wmf || type == model::BlipType::Pict;
  // One or two 16-byte identifiers (two when the instance is odd), then for metafiles a 34-byte
  // header whose byte 32 tells whether the data are compressed, for bitmaps one tag byte.
  size_t skip = (picture.inst & 1) ? 32 : 16;
  if (metafile) {
    if (picture.body.size() < skip + 34) return blip;
    // The header gives the unpacked size, and whether the data are deflate-compressed (0) or
    // stored (0xFE).
    size_t size = Le32(&picture.body[skip]);
    uint8_t compression = picture.body[skip + 32];
    skip += 34;
    if (compression == 0) {
      std::span<const uint8_t> packed = picture.body.subspan(skip);
      // Deflate packs at most about 1032:1, which bounds what a lying size can ask for.
      size_t limit = std::min({size, packed.size() * 1032 + 1024, work.budget});
      size_t produced = 0;
      std::optional<std::vector<uint8_t>> data = container::Inflate(packed, limit, &produced);
      // Every byte unpacked counts against the budget, kept or not: damaged data and metafiles
      // cut short by the budget are left out, but their work was done.
      work.done += produced;
      work.budget -= std::min(produced, work.budget);
      if (!data || (limit < size && data->size() >= limit)) return blip;
      blip.type = type;
      blip.data = std::move(*data);
      return blip;
    }
    if (compression != 0xFE) return blip;
  } else {
    skip += 1;
  }
  if (picture.body.size() < skip) return blip;
  blip.type = type;
  blip.data.assign(picture.body.begin() + static_cast<std::ptrdiff_t>(skip), picture.body.end());
  return blip;
}

void FindStore(std::span<const uint8_t> data, int depth, Unpacking& work,
               std::vector<model::Blip>& blips) {
  if (depth > kMaxDepth) return;
  size_t pos = 0;
  Atom atom;
  while (ReadAtom(data, pos, atom)) {
    if (atom.type == kBStoreContainer) {
      size_t inner = 0;
      Atom entry;
      while (ReadAtom(atom.body, inner, entry)) {
        if (entry.type == kFbse) blips.push_back(ReadBlip(entry, work));
      }
    } else if (atom.container && atom.type == kDggContainer) {
      FindStore(atom.body, depth + 1, work, blips);
    }
  }
}

// A rectangle: in cell units (column or row plus the fraction of it) or in a group's own
// coordinates.
struct Rect {
  double left = 0, top = 0, right = 0, bottom = 0;
};

struct ShapeInfo {
  uint32_t pib = 0;
  bool anchored = false;  // a cell anchor
  bool hasChild = false;  // an anchor in the coordinates of its group
  bool hasGroup = false;  // the shape of a group: its own coordinate space
  Rect child;
  Rect group;
  model::Picture picture;
};

// A group of shapes: where it lies in cell units and its own coordinate space. Shapes inside it
// are anchored in that space; their cell anchors follow by proportion (exact where the columns
// and rows the group covers are of one size).
struct Frame {
  Rect cells;
  Rect space;
};

Rect CellRect(const model::Picture& p) {
  return {p.col1 + p.dx1 / 1024.0, p.row1 + p.dy1 / 256.0, p.col2 + p.dx2 / 1024.0,
          p.row2 + p.dy2 / 256.0};
}

Rect Map(const Frame& frame, const Rect& r) {
  double width = frame.space.right - frame.space.left;
  double height = frame.space.bottom - frame.space.top;
  if (width <= 0 || height <= 0) return frame.cells;
  auto x = [&](double v) {
    return frame.cells.left +
           (v - frame.space.left) / width * (frame.cells.right - frame.cells.left);
  };
  auto y = [&](double v) {
    return frame.cells.top +
           (v - frame.space.top) / height * (frame.cells.bottom - frame.cells.top);
  };
  return {x(r.left), y(r.top), x(r.right), y(r.bottom)};
}

void SetCellAnchor(model::Picture& p, const Rect& r) {
  auto split = [](double v, double parts, auto& whole, uint16_t& part) {
    v = std::clamp(v, 0.0, 1048575.0);
    double floor = std::floor(v);
    whole = static_cast<std::remove_reference_t<decltype(whole)>>(floor);
    part = static_cast<uint16_t>(std::min(parts - 1, (v - floor) * parts));
  };
  split(std::min(r.left, 65535.0), 1024, p.col1, p.dx1);
  split(r.top, 256, p.row1, p.dy1);
  split(std::min(r.right, 65535.0), 1024, p.col2, p.dx2);
  split(r.bottom, 256, p.row2, p.dy2);
}

Rect ReadRect(std::span<const uint8_t> body) {
  auto at = [&](size_t i) { return static_cast<double>(static_cast<int32_t>(Le32(&body[i]))); };
  return {at(0), at(4), at(8), at(12)};
}

void ReadOptions(const Atom& fopt, ShapeInfo& shape) {
  std::span<const uint8_t> body = fopt.body;
  size_t count = fopt.inst;
  if (count > body.size() / 6) count = body.size() / 6;
  size_t complexPos = count * 6;
  for (size_t i = 0; i < count; ++i) {
    uint16_t id = Le16(&body[i * 6]);
    uint32_t value = Le32(&body[i * 6 + 2]);
    bool complex = (id & 0x8000) != 0;
    uint16_t pid = id & 0x3FFF;
    if (pid == 0x0104) shape.pib = value;  // the picture's 1-based index in the store
    if (complex) {
      if (pid == 0x0380 && complexPos <= body.size() && value <= body.size() - complexPos) {
        size_t units = value / 2;
        // The name ends at its terminating zero.
        size_t length = 0;
        while (length < units && Le16(&body[complexPos + 2 * length]) != 0) ++length;
        shape.picture.name.clear();
        AppendUtf16(shape.picture.name, &body[complexPos], length);
      }
      if (value > body.size()) break;
      complexPos += value;
    }
  }
}

void ReadShape(std::span<const uint8_t> data, ShapeInfo& shape) {
  size_t pos = 0;
  Atom atom;
  while (ReadAtom(data, pos, atom)) {
    if (atom.type == kFopt) {
      ReadOptions(atom, shape);
    } else if (atom.type == kClientAnchor && atom.body.size() >= 18) {
      const uint8_t* p = atom.body.data();
      model::Picture& pic = shape.picture;
      pic.col1 = Le16(p + 2);
      pic.dx1 = Le16(p + 4);
      pic.row1 = Le16(p + 6);
      pic.dy1 = Le16(p + 8);
      pic.col2 = Le16(p + 10);
      pic.dx2 = Le16(p + 12);
      pic.row2 = Le16(p + 14);
      pic.dy2 = Le16(p + 16);
      shape.anchored = true;
    } else if (atom.type == kChildAnchor && atom.body.size() >= 16) {
      shape.child = ReadRect(atom.body);
      shape.hasChild = true;
    } else if (atom.type == kSpgr && atom.body.size() >= 16) {
      shape.group = ReadRect(atom.body);
      shape.hasGroup = true;
    }
  }
}

// Reads the shapes of one container. `frame` is the group the shapes belong to (none for the
// shapes directly on the sheet).
// What a walk over the shapes collects: the pictures, or every placed shape.
struct ShapeWalk {
  size_t blipCount = 0;
  std::vector<model::Picture>* pictures = nullptr;
  const uint8_t* base = nullptr;  // the start of the drawing data, for the shapes' offsets
  std::vector<PlacedShape>* shapes = nullptr;
};

void FindShapes(std::span<const uint8_t> data, int depth, const ShapeWalk& walk,
                const Frame* frame) {
  if (depth > kMaxDepth) return;
  size_t pos = 0;
  Atom atom;
  bool groupShape = false;  // inside a group container, the first shape is the group's own
  Frame inner;
  bool haveInner = false;
  bool first = true;
  while (ReadAtom(data, pos, atom)) {
    if (atom.type == kSpContainer) {
      ShapeInfo shape;
      ReadShape(atom.body, shape);
      groupShape = first && shape.hasGroup;
      first = false;
      // Where the shape lies in cell units: its cell anchor, else its anchor in its group (for
      // the group's own shape, the enclosing group; for the others, this group).
      const Frame* space = groupShape ? frame : haveInner ? &inner : nullptr;
      bool placed = shape.anchored;
      Rect cells = CellRect(shape.picture);
      if (!placed && shape.hasChild && space) {
        cells = Map(*space, shape.child);
        placed = true;
      }
      if (groupShape) {
        // The group's own shape: the frame for the shapes that follow in this container.
        if (placed) {
          inner = {cells, shape.group};
          haveInner = true;
        }
        continue;
      }
      if (placed && !shape.anchored) SetCellAnchor(shape.picture, cells);
      if (placed && walk.shapes) {
        walk.shapes->push_back(
            {static_cast<size_t>(atom.body.data() - walk.base), std::move(shape.picture)});
      } else if (placed && walk.pictures && shape.pib >= 1 && shape.pib <= walk.blipCount) {
        shape.picture.blip = shape.pib - 1;
        walk.pictures->push_back(std::move(shape.picture));
      }
    } else if (atom.container && atom.type == kSpgrContainer) {
      FindShapes(atom.body, depth + 1, walk, haveInner ? &inner : nullptr);
      first = false;
    } else if (atom.container && atom.type == kDgContainer) {
      FindShapes(atom.body, depth + 1, walk, nullptr);
    }
  }
}

}  // namespace

size_t ReadPictureStore(std::span<const uint8_t> drawingGroup, size_t unpackBudget,
                        std::vector<model::Blip>& blips) {
  Unpacking work{unpackBudget, 0};
  FindStore(drawingGroup, 0, work, blips);
  return work.done;
}

void ReadSheetPictures(std::span<const uint8_t> drawing, size_t blipCount,
                       std::vector<model::Picture>& pictures) {
  FindShapes(drawing, 0, {blipCount, &pictures, nullptr, nullptr}, nullptr);
}

void ReadSheetShapes(std::span<const uint8_t> drawing, std::vector<PlacedShape>& shapes) {
  FindShapes(drawing, 0, {0, nullptr, drawing.data(), &shapes}, nullptr);
}

}  // namespace quillane::biff
