// Unpacks deflate data: the compressed metafiles of a picture store (zlib streams) and the
// entries of zip packages (raw deflate). The output is bounded by the caller's limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace quillane::container {

// Unpacks a zlib stream (RFC 1950 around RFC 1951 data). Stops after `limit` bytes of output.
// Returns nothing when the data are damaged before the end of the last block. `produced`, when
// given, receives the bytes unpacked, also when the data turn out damaged: the work done.
std::optional<std::vector<uint8_t>> Inflate(std::span<const uint8_t> zlib, size_t limit,
                                            size_t* produced = nullptr);
// The same for raw deflate data (RFC 1951) without the zlib header, as zip entries hold them.
std::optional<std::vector<uint8_t>> InflateRaw(std::span<const uint8_t> deflate, size_t limit,
                                               size_t* produced = nullptr);

// Receives unpacked bytes piece by piece, in order (pieces of up to 160 KiB).
using InflateSink = std::function<void(std::span<const uint8_t> piece)>;
// Unpacks raw deflate data into `sink` without holding the whole output: the same limit and
// `produced` as InflateRaw. False when the data are damaged (the pieces before the damage have
// been handed on). An exception of the sink ends the unpacking and passes to the caller.
bool InflateRawTo(std::span<const uint8_t> deflate, size_t limit, const InflateSink& sink,
                  size_t* produced = nullptr);

}  // namespace quillane::container
