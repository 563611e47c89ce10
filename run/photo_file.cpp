#include "run/photo_file.h"

#include <Magick++.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>

namespace cw::run {
namespace {

// What a photo's shrinking may take, so that it fits beside the run in a few hundred
// megabytes of address space: GraphicsMagick keeps 8 bytes a pixel (its Q16 build), and a
// resize holds the decoded image (48 MB at most), a half-resized one and the result. A decode over budget
// fails at once; it never falls back to a pixel cache on disk (its files in /tmp would stay
// behind a killed run, and its speed is a run killed by its CPU limit).
constexpr long long kMaxPixels = 6LL * 1000 * 1000;  // a 3000 x 2000 PNG; JPEGs decode scaled
constexpr long long kMagickMemory = 128LL << 20;
constexpr int kShrinkAttempts = 12;
constexpr long long kFirstTryPixels = 2LL * 1000 * 1000;

std::string_view TypeOf(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xD8\xFF")) return "jpeg";
  if (bytes.starts_with("\x89PNG\r\n\x1A\n")) return "png";
  if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) return "gif";
  return {};
}

[[noreturn]] void Fail(const std::string& path, std::string_view why) {
  throw std::runtime_error("The photo " + path + " " + std::string(why) + "; the contact is written without it.");
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// GraphicsMagick's own warnings and errors (libpng alone may print a thousand lines for one
// file) are not shown: a failed decode is reported once, in the run's words.
void IgnoreMagickMessage(MagickLib::ExceptionType, const char*, const char*) {}

void StartMagick() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    MagickLib::SetWarningHandler(IgnoreMagickMessage);
    MagickLib::SetErrorHandler(IgnoreMagickMessage);
    MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource, kMaxPixels);
    MagickLib::SetMagickResourceLimit(MagickLib::WidthResource, 65535);
    MagickLib::SetMagickResourceLimit(MagickLib::HeightResource, 65535);
    MagickLib::SetMagickResourceLimit(MagickLib::MemoryResource, kMagickMemory);
    MagickLib::SetMagickResourceLimit(MagickLib::MapResource, kMagickMemory);
    MagickLib::SetMagickResourceLimit(MagickLib::DiskResource, 0);
    MagickLib::SetMagickResourceLimit(MagickLib::ThreadsResource, 1);
  });
}

// The width and height an image's header states, read by hand from the few bytes that say
// them (GraphicsMagick's own look at the header already refuses a JPEG over the pixel limit
// before its scaled decode could make it fit); nothing when the header is not where it
// should be.
std::optional<std::pair<double, double>> StatedSize(std::string_view bytes, std::string_view type) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
  const auto big16 = [&](std::size_t i) { return byte(i) << 8 | byte(i + 1); };
  if (type == "png") {
    // The signature, then IHDR's length, type, width and height (big-endian, 4 bytes each).
    if (bytes.size() < 24) return std::nullopt;
    return std::pair<double, double>((big16(16) << 16 | big16(18)) * 1.0, (big16(20) << 16 | big16(22)) * 1.0);
  }
  if (type == "gif") {
    if (bytes.size() < 10) return std::nullopt;  // the logical screen's size, little-endian
    return std::pair<double, double>((byte(7) << 8 | byte(6)) * 1.0, (byte(9) << 8 | byte(8)) * 1.0);
  }
  // JPEG: the markers' segments up to the first start of frame (SOF0 to SOF15 but DHT, JPG
  // and DAC), which holds the height and then the width.
  std::size_t at = 2;
  while (at + 4 <= bytes.size()) {
    if (byte(at) != 0xFF) return std::nullopt;
    const unsigned marker = byte(at + 1);
    if (marker == 0xFF) {
      ++at;  // fill
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
      at += 2;  // no segment
      continue;
    }
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (at + 9 > bytes.size()) return std::nullopt;
      return std::pair<double, double>(big16(at + 7) * 1.0, big16(at + 5) * 1.0);
    }
    at += 2 + big16(at + 2);
  }
  return std::nullopt;
}

std::string Dimensions(double width, double height) {
  return std::to_string(static_cast<long long>(width)) + " x " + std::to_string(static_cast<long long>(height));
}

}  // namespace

vcard::PhotoData ReadPhotoFile(std::string_view cell, const std::string& workbook_folder) {
  std::string path(cell);
  if (path.find('\0') != std::string::npos) Fail("\"" + path + "\"", "is not a file name");
  if (!path.starts_with('/')) path = (workbook_folder.empty() ? std::string(".") : workbook_folder) + "/" + path;
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) Fail(path, "was not found");
    if (error == ELOOP) Fail(path, "is a symbolic link, which is not followed");
    Fail(path, std::string("could not be opened (") + std::strerror(error) + ")");
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) Fail(path, "is not a regular file");
  if (static_cast<unsigned long long>(st.st_size) > kMaxPhotoFileBytes) {
    Fail(path, "is larger than " + std::to_string(kMaxPhotoFileBytes / (std::size_t{1024} * 1024)) + " MB");
  }
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(path, std::string("could not be read (") + std::strerror(errno) + ")");
    if (n == 0) break;  // shortened while read
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  const std::string_view type = TypeOf(bytes);
  if (type.empty()) Fail(path, "is not a JPEG, PNG or GIF image");
  try {
    return {type, ShrinkImage(std::move(bytes), type, kMaxPhotoBytes)};
  } catch (const std::runtime_error& e) {
    Fail(path, e.what());
  }
}

std::string ShrinkImage(std::string bytes, std::string_view type, std::size_t max_bytes) {
  if (bytes.size() <= max_bytes) return bytes;
  StartMagick();
  try {
    const Magick::Blob blob(bytes.data(), bytes.size());
    // The size the header states says what the decode would take.
    const auto stated = StatedSize(bytes, type);
    // The area shrinks about as the file does; start there and step down until it fits.
    double scale = std::sqrt(static_cast<double>(max_bytes) / static_cast<double>(bytes.size()));
    // A photo of 224 KB holds far fewer pixels than this: a first size above it would only
    // ask for a larger decode and resize.
    if (stated && stated->first >= 1 && stated->second >= 1) {
      scale = std::min(scale, std::sqrt(static_cast<double>(kFirstTryPixels) / (stated->first * stated->second)));
    }
    Magick::Image original;
    original.quiet(true);
    if (!stated || stated->first < 1 || stated->second < 1) {
      original.read(blob);  // GraphicsMagick's own limits hold it
    } else if (type == "jpeg") {
      const auto [width, height] = *stated;
      // A JPEG is decoded at the smallest of 1/8, 2/8, ... of its size that still holds the
      // first size tried (libjpeg's scaled decode, asked for through the size hint): a phone
      // photo then takes a fraction of the pixels.
      const auto w = static_cast<unsigned>(std::max(1.0, std::ceil(width * scale)));
      const auto h = static_cast<unsigned>(std::max(1.0, std::ceil(height * scale)));
      original.read(blob, Magick::Geometry(w, h));
    } else {
      const auto [width, height] = *stated;
      if (width * height > static_cast<double>(kMaxPixels)) {
        throw std::runtime_error("could not be read: its " + Dimensions(width, height) + " pixels are more than the " +
                                 std::to_string(kMaxPixels) + " a photo to be shrunk may have");
      }
      original.read(blob);
    }
    const double width = stated && stated->first >= 1 && stated->second >= 1 ? stated->first : original.columns();
    const double height = stated && stated->first >= 1 && stated->second >= 1 ? stated->second : original.rows();
    for (int attempt = 0; attempt < kShrinkAttempts; ++attempt, scale *= 0.8) {
      const auto w = static_cast<unsigned>(std::max(1.0, std::floor(width * scale)));
      const auto h = static_cast<unsigned>(std::max(1.0, std::floor(height * scale)));
      Magick::Image image = original;
      image.quiet(true);
      Magick::Geometry size(w, h);
      size.aspect(true);  // exactly w x h, which keeps the aspect as both are scaled alike
      image.resize(size);
      image.strip();
      image.magick(type == "jpeg" ? "JPEG" : type == "png" ? "PNG" : "GIF");
      if (type == "jpeg") image.quality(85);
      Magick::Blob out;
      image.write(&out);
      if (out.length() <= max_bytes) return std::string(static_cast<const char*>(out.data()), out.length());
    }
  } catch (const Magick::ErrorResourceLimit&) {
    // Over the memory, pixel or (no) disk limits set above: said in the run's words.
    throw std::runtime_error("could not be read: shrinking it needs more memory than a photo may take");
  } catch (const Magick::ErrorCache&) {
    throw std::runtime_error("could not be read: shrinking it needs more memory than a photo may take");
  } catch (const Magick::Exception& e) {
    // GraphicsMagick's words without its prefix and the place in its sources.
    std::string why = e.what();
    if (why.starts_with("Magick: ")) why.erase(0, 8);
    if (const std::size_t place = why.find(" reported by "); place != std::string::npos) why.resize(place);
    throw std::runtime_error("could not be read as an image (" + why + ")");
  }
  throw std::runtime_error("could not be made smaller than " + std::to_string(max_bytes / 1024) + " KB");
}

}  // namespace cw::run
