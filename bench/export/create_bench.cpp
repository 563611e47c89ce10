// create_bench FOLDER [FILES] [ROUNDS]: creating FILES files of 400 bytes (default 100,000)
// in FOLDER by plain calls (an exclusive open, one write, one close per file), by the
// unnamed-file path (O_TMPFILE, write, linkat) and by io_uring in batches (a linked
// open, write and close per file into registered descriptor slots, one submit per batch).
// Decides whether batching creates through io_uring is worth a place in the record writer.
// Rounds are interleaved, each method in a folder of its own; medians are reported.
#include <fcntl.h>
#include <liburing.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

const std::string kBytes = [] {
  std::string s =
      "\xEF\xBB\xBF"
      "BEGIN:VCARD\r\nVERSION:2.1\r\n";
  while (s.size() < 385) s += "NOTE:padding to the size of a contact record\r\n";
  s.resize(385);
  return s + "END:VCARD\r\n\r\n";
}();

std::vector<std::string> Names(int files) {
  std::vector<std::string> names;
  for (int i = 0; i < files; ++i) names.push_back("UTF8_Contact Person_Row" + std::to_string(i + 1) + ".vcf");
  return names;
}

double Plain(const fs::path& folder, const std::vector<std::string>& names) {
  fs::create_directories(folder);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const auto start = Clock::now();
  for (const auto& name : names) {
    const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 || ::write(fd, kBytes.data(), kBytes.size()) != static_cast<ssize_t>(kBytes.size())) std::abort();
    ::close(fd);
  }
  const double s = Seconds(start);
  ::close(dir);
  return s;
}

double Unnamed(const fs::path& folder, const std::vector<std::string>& names) {
  fs::create_directories(folder);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const auto start = Clock::now();
  for (const auto& name : names) {
    const int fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 || ::write(fd, kBytes.data(), kBytes.size()) != static_cast<ssize_t>(kBytes.size())) std::abort();
    if (::linkat(fd, "", dir, name.c_str(), AT_EMPTY_PATH) != 0) {
      const std::string proc = "/proc/self/fd/" + std::to_string(fd);
      if (::linkat(AT_FDCWD, proc.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) != 0) std::abort();
    }
    ::close(fd);
  }
  const double s = Seconds(start);
  ::close(dir);
  return s;
}

// A negative result: the kernel refused io_uring.
double Uring(const fs::path& folder, const std::vector<std::string>& names, unsigned batch) {
  fs::create_directories(folder);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  io_uring ring{};
  if (io_uring_queue_init(batch * 3, &ring, 0) != 0) return -1;
  if (io_uring_register_files_sparse(&ring, batch) != 0) {
    io_uring_queue_exit(&ring);
    return -1;
  }
  const auto start = Clock::now();
  for (std::size_t first = 0; first < names.size(); first += batch) {
    const std::size_t count = std::min<std::size_t>(batch, names.size() - first);
    for (std::size_t k = 0; k < count; ++k) {
      const unsigned slot = static_cast<unsigned>(k);
      io_uring_sqe* open = io_uring_get_sqe(&ring);
      io_uring_prep_openat_direct(open, dir, names[first + k].c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666, slot);
      open->flags |= IOSQE_IO_LINK;
      io_uring_sqe* write = io_uring_get_sqe(&ring);
      io_uring_prep_write(write, static_cast<int>(slot), kBytes.data(), static_cast<unsigned>(kBytes.size()), 0);
      write->flags |= IOSQE_FIXED_FILE | IOSQE_IO_LINK;
      io_uring_sqe* close = io_uring_get_sqe(&ring);
      io_uring_prep_close_direct(close, slot);
    }
    io_uring_submit_and_wait(&ring, static_cast<unsigned>(count * 3));
    io_uring_cqe* cqe = nullptr;
    for (std::size_t k = 0; k < count * 3; ++k) {
      if (io_uring_wait_cqe(&ring, &cqe) != 0) std::abort();
      if (cqe->res < 0) {
        std::fprintf(stderr, "io_uring step failed: %d\n", cqe->res);
        std::abort();
      }
      io_uring_cqe_seen(&ring, cqe);
    }
  }
  const double s = Seconds(start);
  io_uring_queue_exit(&ring);
  ::close(dir);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: create_bench FOLDER [FILES] [ROUNDS]\n");
    return 2;
  }
  const fs::path root = fs::path(argv[1]) / ("cw-create-bench-" + std::to_string(::getpid()));
  const int files = argc > 2 ? std::atoi(argv[2]) : 100000;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  const auto names = Names(files);
  std::vector<double> plain, unnamed, uring64, uring256;
  for (int round = 0; round < rounds; ++round) {
    const std::string tag = std::to_string(round);
    plain.push_back(Plain(root / ("plain" + tag), names));
    unnamed.push_back(Unnamed(root / ("unnamed" + tag), names));
    uring64.push_back(Uring(root / ("uring64-" + tag), names, 64));
    uring256.push_back(Uring(root / ("uring256-" + tag), names, 256));
    std::printf("round %d: plain %.3f s, O_TMPFILE+linkat %.3f s, io_uring x64 %.3f s, io_uring x256 %.3f s\n", round,
                plain.back(), unnamed.back(), uring64.back(), uring256.back());
  }
  std::printf(
      "median of %d rounds, %d files: plain %.3f s, O_TMPFILE+linkat %.3f s, io_uring x64 %.3f s (%.2fx plain), "
      "io_uring x256 %.3f s (%.2fx plain)\n",
      rounds, files, Median(plain), Median(unnamed), Median(uring64), Median(uring64) / Median(plain), Median(uring256),
      Median(uring256) / Median(plain));
  fs::remove_all(root);
  return 0;
}
