// make_photo OUT.jpg WIDTH HEIGHT: writes a JPEG of noise, the worst case of a phone photo
// for its size (quality 92, as phones save them), for the tests that shrink photos within
// the run's budgets. Made at test time, so no large image is kept in the tree.
#include <Magick++.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_photo OUT.jpg WIDTH HEIGHT\n");
    return 2;
  }
  const auto width = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
  const auto height = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
  Magick::InitializeMagick(nullptr);
  // Smooth gradients with a little noise: a JPEG of a photo's size per pixel, not of noise's.
  std::string rgb(std::size_t{width} * height * 3, '\0');
  std::mt19937 random(7);
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    const std::size_t pixel = i / 3;
    const std::size_t x = pixel % width;
    const std::size_t y = pixel / width;
    rgb[i] = static_cast<char>((x * 255 / width + y * 255 / height * (i % 3)) / 2 + random() % 24);
  }
  Magick::Image image;
  image.read(Magick::Blob(rgb.data(), rgb.size()), Magick::Geometry(width, height), 8, "RGB");
  image.magick("JPEG");
  image.quality(92);
  image.write(argv[1]);
  return 0;
}
