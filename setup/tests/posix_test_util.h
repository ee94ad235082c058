// Helpers for the launcher tests that use the real file system and processes (POSIX).
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>

namespace vgsetup::test {

namespace fs = std::filesystem;

// A fresh empty folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    m_path = fs::temp_directory_path() /
             ("vg-setup-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    fs::create_directories(m_path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return m_path; }
  std::string operator/(const std::string& name) const { return (m_path / name).string(); }

 private:
  fs::path m_path;
};

inline void WriteFile(const fs::path& p, const std::string& bytes,
                      fs::perms mode = fs::perms::none) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (mode != fs::perms::none) fs::permissions(p, mode);
}

inline std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline unsigned ModeOf(const fs::path& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode & 07777) : 0u;
}

// Waits until `done` holds or a generous deadline passes (for work that another process
// finishes at its own pace); returns whether it held. Not a timing check.
inline bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace vgsetup::test
