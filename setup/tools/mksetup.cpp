// mksetup: builds a setup file from the launcher program, the setup engine, the Lua library
// and the setup data (the payload layout is described in core/payload_format.h).
//
// The output is written to a temporary file beside it and renamed into place when complete,
// so a failed build never leaves a half-written setup file behind.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "core/payload_format.h"

namespace fs = std::filesystem;
using namespace vgsetup;

namespace {

const char* const kUsage =
    "Usage: mksetup --launcher FILE --engine FILE --lua FILE --data FILE\n"
    "               [--multi-segment] [--compression N] -o OUT\n"
    "\n"
    "Builds a setup file: the launcher program followed by the payload it carries.\n"
    "\n"
    "  --launcher FILE   the setup launcher program (less than 10 MiB)\n"
    "  --engine FILE     the setup engine, written out as qvsetup.exe\n"
    "  --lua FILE        the Lua library, written out as lua5.3.dll\n"
    "  --data FILE       the setup data the engine reads from the setup file\n"
    "  --multi-segment   mark a multi-segment setup: the launcher does not wait for the\n"
    "                    engine unless started with /W\n"
    "  --compression N   compression type handed to the engine, 0 to 255 (default 0)\n"
    "  -o, --output OUT  the setup file to write\n"
    "  -h, --help        show this help\n";

struct Options {
  std::string launcher, engine, lua, data, output;
  bool multiSegment = false;
  unsigned compression = 0;
};

class BuildError {
 public:
  explicit BuildError(std::string message) : m_message(std::move(message)) {}
  const std::string& message() const { return m_message; }

 private:
  std::string m_message;
};

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::uint64_t SizeOf(const std::string& what, const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(path), ec)) {
    throw BuildError("cannot read " + what + " " + Quoted(path) + ": " +
                     (ec                           ? ec.message()
                      : fs::exists(fs::path(path)) ? "not a regular file"
                                                   : "no such file"));
  }
  const std::uint64_t size = fs::file_size(fs::path(path), ec);
  if (ec) throw BuildError("cannot read " + what + " " + Quoted(path) + ": " + ec.message());
  return size;
}

std::ifstream OpenInput(const std::string& what, const std::string& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) {
    throw BuildError("cannot open " + what + " " + Quoted(path) + ": " + std::strerror(errno));
  }
  return in;
}

// Copies exactly `size` bytes of `path` to `out`, XORing the first `scrambled` bytes.
void CopyInto(std::ofstream& out, const std::string& what, const std::string& path,
              std::uint64_t size, std::size_t scrambled) {
  std::ifstream in = OpenInput(what, path);
  std::vector<char> buffer(1 << 20);
  std::uint64_t done = 0;
  while (done < size) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - done));
    in.read(buffer.data(), static_cast<std::streamsize>(want));
    if (static_cast<std::size_t>(in.gcount()) != want) {
      throw BuildError("cannot read " + what + " " + Quoted(path) +
                       ": it changed while being read");
    }
    for (std::size_t i = 0; i < want && done + i < scrambled; ++i) {
      buffer[i] = static_cast<char>(static_cast<unsigned char>(buffer[i]) ^ kScrambleByte);
    }
    out.write(buffer.data(), static_cast<std::streamsize>(want));
    done += want;
  }
}

void WriteNumber(std::ofstream& out, std::uint64_t value) {
  unsigned char bytes[8];
  WriteLe64(bytes, value);
  out.write(reinterpret_cast<const char*>(bytes), 8);
}

std::uint64_t Build(const Options& o) {
  const std::uint64_t launcherSize = SizeOf("launcher", o.launcher);
  if (launcherSize >= kSignatureSearchLimit) {
    throw BuildError("launcher " + Quoted(o.launcher) + " is " + std::to_string(launcherSize) +
                     " bytes; it must be smaller than 10 MiB (" +
                     std::to_string(kSignatureSearchLimit) +
                     " bytes), as the launcher searches only that far for its payload");
  }
  std::vector<char> launcher(static_cast<std::size_t>(launcherSize));
  {
    std::ifstream in = OpenInput("launcher", o.launcher);
    in.read(launcher.data(), static_cast<std::streamsize>(launcher.size()));
    if (static_cast<std::uint64_t>(in.gcount()) != launcherSize) {
      throw BuildError("cannot read launcher " + Quoted(o.launcher));
    }
  }
  for (std::size_t i = 0; i + kSignatureLength <= launcher.size(); ++i) {
    std::size_t k = 0;
    while (k < kSignatureLength &&
           static_cast<unsigned char>(launcher[i + k]) == SignatureByte(k)) {
      ++k;
    }
    if (k == kSignatureLength) {
      throw BuildError("launcher " + Quoted(o.launcher) +
                       " holds the data segment signature at offset " + std::to_string(i) +
                       "; the launcher would take it for the start of its payload");
    }
  }
  const std::uint64_t engineSize = SizeOf("engine", o.engine);
  const std::uint64_t luaSize = SizeOf("Lua library", o.lua);
  const std::uint64_t dataSize = SizeOf("setup data", o.data);

  const std::uint64_t signatureAt = std::max<std::uint64_t>(launcherSize, kSignatureSearchStart);
  const std::uint64_t totalSize = signatureAt + kHeaderSize + engineSize + 8 + luaSize + dataSize;

  const fs::path target(o.output);
  std::random_device random;
  const fs::path temp = target.parent_path() / ("." + target.filename().string() + ".mksetup-" +
                                                std::to_string(random()) + ".tmp");
  struct TempGuard {
    fs::path path;
    bool keep = false;
    ~TempGuard() {
      std::error_code ec;
      if (!keep) fs::remove(path, ec);
    }
  } guard{temp};

  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw BuildError("cannot create " + Quoted(o.output) + ": " + std::strerror(errno));
  }
  out.write(launcher.data(), static_cast<std::streamsize>(launcher.size()));
  const std::vector<char> padding(static_cast<std::size_t>(signatureAt - launcherSize), '\0');
  out.write(padding.data(), static_cast<std::streamsize>(padding.size()));
  char header[18];
  for (std::size_t k = 0; k < kSignatureLength; ++k)
    header[k] = static_cast<char>(SignatureByte(k));
  header[16] = o.multiSegment ? 1 : 0;
  header[17] = static_cast<char>(o.compression);
  out.write(header, sizeof header);
  WriteNumber(out, totalSize);
  WriteNumber(out, engineSize);
  CopyInto(out, "engine", o.engine, engineSize, kScrambledHeadSize);
  WriteNumber(out, luaSize);
  CopyInto(out, "Lua library", o.lua, luaSize, 0);
  CopyInto(out, "setup data", o.data, dataSize, 0);
  out.close();
  if (!out) throw BuildError("cannot write " + Quoted(o.output) + ": " + std::strerror(errno));

  std::error_code ec;
  fs::permissions(temp, fs::status(fs::path(o.launcher)).permissions(), ec);
  fs::rename(temp, target, ec);
  if (ec) throw BuildError("cannot write " + Quoted(o.output) + ": " + ec.message());
  guard.keep = true;

  std::cout << "mksetup: wrote " << o.output << " (" << totalSize << " bytes): launcher "
            << launcherSize << " bytes, payload at " << signatureAt << ", engine " << engineSize
            << " bytes, Lua library " << luaSize << " bytes, setup data " << dataSize
            << " bytes at offset " << (totalSize - dataSize) << "\n";
  return totalSize;
}

bool ParseCompression(const std::string& text, unsigned* value) {
  if (text.empty() || text.size() > 3) return false;
  unsigned v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v > 255) return false;
  *value = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  auto fail = [](const std::string& message) {
    std::cerr << "mksetup: " << message << "\n"
              << "Run 'mksetup --help' for usage.\n";
    return 2;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string* into) {
      if (i + 1 >= argc) return false;
      *into = argv[++i];
      return true;
    };
    if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--launcher") {
      if (!value(&o.launcher)) return fail("--launcher needs a file");
    } else if (a == "--engine") {
      if (!value(&o.engine)) return fail("--engine needs a file");
    } else if (a == "--lua") {
      if (!value(&o.lua)) return fail("--lua needs a file");
    } else if (a == "--data") {
      if (!value(&o.data)) return fail("--data needs a file");
    } else if (a == "-o" || a == "--output") {
      if (!value(&o.output)) return fail(a + " needs a file");
    } else if (a == "--multi-segment") {
      o.multiSegment = true;
    } else if (a == "--compression") {
      std::string text;
      if (!value(&text) || !ParseCompression(text, &o.compression)) {
        return fail("--compression needs a number from 0 to 255");
      }
    } else {
      return fail("unknown argument '" + a + "'");
    }
  }
  std::string missing;
  for (auto [name, value] : {std::pair<const char*, const std::string*>{"--launcher", &o.launcher},
                             {"--engine", &o.engine},
                             {"--lua", &o.lua},
                             {"--data", &o.data},
                             {"-o", &o.output}}) {
    if (value->empty()) missing += std::string(missing.empty() ? "" : ", ") + name;
  }
  if (!missing.empty()) return fail("missing " + missing);
  try {
    Build(o);
  } catch (const BuildError& e) {
    std::cerr << "mksetup: " << e.message() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "mksetup: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
