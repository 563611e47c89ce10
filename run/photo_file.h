// The image a "Photo" cell names, read for the record: a JPEG, PNG or GIF file given by an
// absolute path or one relative to the workbook's folder. Only that one file is opened: a
// symbolic link as its last part, a device, a FIFO or a folder is refused, and at most
// kMaxPhotoFileBytes are read. An image over kMaxPhotoBytes (the largest photo iCloud takes
// per contact) is shrunk to fit, keeping its aspect and its format.
//
// Shrinking uses GraphicsMagick (libgraphicsmagick++1-dev): a long-kept Debian library that
// decodes and encodes JPEG, PNG and GIF with one resize call and caps the memory and pixels
// a decode may take, without pulling GLib into the core as libvips would.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "vcard/vcard_record.h"

namespace cw::run {

inline constexpr std::size_t kMaxPhotoBytes = std::size_t{224} * 1024;
inline constexpr std::size_t kMaxPhotoFileBytes = std::size_t{64} * 1024 * 1024;

// The image of `cell`, a path; relative paths are taken from `workbook_folder`. Throws
// std::runtime_error saying, for the person at the window, why there is no photo.
vcard::PhotoData ReadPhotoFile(std::string_view cell, const std::string& workbook_folder);

// The image `bytes` of `type` ("jpeg", "png", "gif") made no larger than `max_bytes`, keeping
// its aspect and format; bytes already small enough are returned as they are. Throws
// std::runtime_error when the image cannot be decoded or made small enough.
std::string ShrinkImage(std::string bytes, std::string_view type, std::size_t max_bytes);

}  // namespace cw::run
