#include "platform/posix_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>

extern char** environ;

namespace vgsetup {

namespace {

class CPosixArchive : public CArchiveFile {
 public:
  explicit CPosixArchive(int fd) : m_fd(fd) {}
  ~CPosixArchive() override { ::close(m_fd); }

  bool Read(std::uint64_t offset, void* buffer, std::size_t size, std::size_t* got) override {
    *got = 0;
    if (offset > static_cast<std::uint64_t>(LLONG_MAX)) return false;
    auto* out = static_cast<unsigned char*>(buffer);
    while (*got < size) {
      const std::uint64_t at = offset + *got;
      if (at > static_cast<std::uint64_t>(LLONG_MAX)) return false;
      const ssize_t n = ::pread(m_fd, out + *got, size - *got, static_cast<off_t>(at));
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (n == 0) break;  // end of file
      *got += static_cast<std::size_t>(n);
    }
    return true;
  }

  bool GetSize(std::uint64_t* size) override {
    struct stat st;
    if (::fstat(m_fd, &st) != 0 || st.st_size < 0) return false;
    *size = static_cast<std::uint64_t>(st.st_size);
    return true;
  }

  EExtract ExtractTo(const std::string& path, const unsigned char* head, std::size_t headSize,
                     std::uint64_t offset, std::uint64_t size) override {
    if (offset > static_cast<std::uint64_t>(LLONG_MAX) ||
        size > static_cast<std::uint64_t>(LLONG_MAX) - offset) {
      return EExtract::kReadFailed;
    }
    // Never through a link: the folder is private, but a file is not written on trust.
    const int out =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) return EExtract::kOpenFailed;
    EExtract result =
        WriteAll(out, head, headSize) ? Copy(out, offset, size) : EExtract::kWriteFailed;
    if (::close(out) != 0 && result == EExtract::kWritten) result = EExtract::kWriteFailed;
    return result;
  }

 private:
  static bool WriteAll(int fd, const unsigned char* p, std::size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(fd, p, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

  EExtract Copy(int out, std::uint64_t offset, std::uint64_t size) {
    off_t from = static_cast<off_t>(offset);
    std::uint64_t left = size;
    // In the kernel, page cache to page cache.
    while (left > 0) {
      const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, 1u << 30));
      const ssize_t n = ::copy_file_range(m_fd, &from, out, nullptr, chunk, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) return EExtract::kReadFailed;  // the file ended early
      if (n < 0) break;  // not offered here (another file system, an old kernel): by hand
      left -= static_cast<std::uint64_t>(n);
    }
    if (left == 0) return EExtract::kWritten;
    constexpr std::size_t kBuffer = 1 << 20;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kBuffer]);
    if (!buffer) return EExtract::kNoMemory;
    while (left > 0) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, kBuffer));
      std::size_t got = 0;
      if (!Read(static_cast<std::uint64_t>(from), buffer.get(), want, &got) || got != want) {
        return EExtract::kReadFailed;
      }
      if (!WriteAll(out, buffer.get(), got)) return EExtract::kWriteFailed;
      from += static_cast<off_t>(got);
      left -= got;
    }
    return EExtract::kWritten;
  }

  int m_fd;
};

// An exit status as the launcher reports it: the exit code, or 128 + the signal number.
std::uint32_t ExitCodeFromStatus(int status) {
  if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<std::uint32_t>(WTERMSIG(status));
  return 1;
}

class CPosixProcess : public CEngineProcess {
 public:
  explicit CPosixProcess(pid_t pid) : m_pid(pid) {}

  void Wait() override {
    if (m_reaped) return;
    int status = 0;
    pid_t r;
    do {
      r = ::waitpid(m_pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r == m_pid) Reaped(status);
  }

  bool GetExitCode(std::uint32_t* code) override {
    if (!m_reaped) {
      int status = 0;
      pid_t r;
      do {
        r = ::waitpid(m_pid, &status, WNOHANG);
      } while (r < 0 && errno == EINTR);
      if (r == 0) {
        *code = kStillActive;
        return true;
      }
      if (r != m_pid) return false;
      Reaped(status);
    }
    *code = m_exitCode;
    return true;
  }

 private:
  void Reaped(int status) {
    m_reaped = true;
    m_exitCode = ExitCodeFromStatus(status);
  }

  pid_t m_pid;
  bool m_reaped = false;
  std::uint32_t m_exitCode = 0;
};

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  const long fd = ::syscall(SYS_pidfd_open, pid, 0);
  return fd < 0 ? -1 : static_cast<int>(fd);
#else
  (void)pid;
  return -1;
#endif
}

void RemovePath(const char* path) {
  if (::unlink(path) != 0) ::rmdir(path);
}

}  // namespace

CPosixPlatform::CPosixPlatform(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) m_vArgv.emplace_back(argv[i] ? argv[i] : "");
}

CPosixPlatform::~CPosixPlatform() {
  if (m_enginePidFd >= 0) ::close(m_enginePidFd);
}

void CPosixPlatform::ReadCommandLine(std::string* text, std::vector<std::string>* argv) {
  // There is no command-line text on POSIX: the arguments after the program name, joined
  // by single blanks, stand for it (and count against the same limit).
  text->clear();
  for (std::size_t i = 1; i < m_vArgv.size(); ++i) {
    if (i > 1) *text += ' ';
    *text += m_vArgv[i];
  }
  *argv = m_vArgv;
}

std::size_t CPosixPlatform::RootLength(const std::string& path) const {
  return !path.empty() && path[0] == '/' ? 1 : 0;
}

bool CPosixPlatform::GetOwnPath(std::string* path) {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return false;
  path->assign(buf, static_cast<std::size_t>(n));
  return true;
}

std::unique_ptr<CArchiveFile> CPosixPlatform::OpenArchive(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<CPosixArchive>(fd);
}

bool CPosixPlatform::GetTempBase(std::string* path) {
  const char* tmpdir = std::getenv("TMPDIR");
  *path = (tmpdir && *tmpdir) ? tmpdir : "/tmp";
  return true;
}

bool CPosixPlatform::GetCurrentDir(std::string* path) {
  std::string buf(256, '\0');
  for (;;) {
    if (::getcwd(&buf[0], buf.size())) {
      buf.resize(std::char_traits<char>::length(buf.c_str()));
      *path = buf;
      return true;
    }
    if (errno != ERANGE || buf.size() > (1u << 20)) return false;
    buf.resize(buf.size() * 2);
  }
}

bool CPosixPlatform::SetCurrentDir(const std::string& path) { return ::chdir(path.c_str()) == 0; }

EPathKind CPosixPlatform::GetPathKind(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    // Something that cannot be examined is never taken for absent.
    return (errno == ENOENT || errno == ENOTDIR) ? EPathKind::kAbsent : EPathKind::kOther;
  }
  if (S_ISLNK(st.st_mode)) return EPathKind::kLink;
  // Another user's folder is never cleaned: in a shared /tmp its owner could swap it for a
  // link between our look and our deletion. Our own folders only we can rename there.
  if (S_ISDIR(st.st_mode))
    return st.st_uid == ::geteuid() ? EPathKind::kDirectory : EPathKind::kOther;
  return EPathKind::kOther;
}

bool CPosixPlatform::MakeDir(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

ECreateDir CPosixPlatform::CreatePrivateDir(const std::string& path) {
  // mkdir never follows a link and fails on anything that exists, so the folder is ours.
  if (::mkdir(path.c_str(), 0700) != 0) {
    return errno == EEXIST ? ECreateDir::kExists : ECreateDir::kFailed;
  }
  // The umask may have taken bits away; the owner needs all three.
  if (::chmod(path.c_str(), 0700) != 0) {
    ::rmdir(path.c_str());
    return ECreateDir::kFailed;
  }
  return ECreateDir::kCreated;
}

ECreateDir CPosixPlatform::CreateSharedDir(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0) {
    return errno == EEXIST ? ECreateDir::kExists : ECreateDir::kFailed;
  }
  if (::chmod(path.c_str(), 0755) != 0) {
    ::rmdir(path.c_str());
    return ECreateDir::kFailed;
  }
  return ECreateDir::kCreated;
}

CFolderFacts CPosixPlatform::ExamineFolder(const std::string& path) {
  CFolderFacts facts;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    facts.kind = (errno == ENOENT || errno == ENOTDIR) ? EPathKind::kAbsent : EPathKind::kOther;
    return facts;
  }
  facts.kind = S_ISLNK(st.st_mode)   ? EPathKind::kLink
               : S_ISDIR(st.st_mode) ? EPathKind::kDirectory
                                     : EPathKind::kOther;
  facts.bOwnedBySystem = st.st_uid == 0;
  // In a folder others may write to, only the sticky bit keeps them from renaming what
  // is not theirs.
  facts.bOthersMayReplace = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0;
  return facts;
}

bool CPosixPlatform::RemoveStaleFolder(const std::string& folder, const std::string& name) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;  // a link, or no folder at all
  struct stat st;
  bool removed = false;
  if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid()) {
    ::unlinkat(fd, name.c_str(), 0);  // inside the folder opened, whatever its name is now
    // The folder goes by its name only while the name still stands for the folder opened.
    struct stat now;
    removed = ::lstat(folder.c_str(), &now) == 0 && now.st_dev == st.st_dev &&
              now.st_ino == st.st_ino && ::rmdir(folder.c_str()) == 0;
  }
  ::close(fd);
  return removed;
}

bool CPosixPlatform::RemoveDir(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool CPosixPlatform::RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool CPosixPlatform::QueryFreeSpace(const std::string& folder, std::uint64_t* bytes) {
  struct statvfs vfs;
  if (::statvfs(folder.c_str(), &vfs) != 0) return false;
  *bytes = static_cast<std::uint64_t>(vfs.f_bavail) * static_cast<std::uint64_t>(vfs.f_frsize);
  return true;
}

bool CPosixPlatform::CreateFileLink(const std::string& link, const std::string& target) {
  return ::symlink(target.c_str(), link.c_str()) == 0;
}

void CPosixPlatform::WaitForProcessEnd(pid_t pid, int pidfd) {
  if (pidfd >= 0) {
    struct pollfd p = {pidfd, POLLIN, 0};
    for (;;) {
      const int r = ::poll(&p, 1, -1);
      if (r > 0 || (r < 0 && errno != EINTR)) break;
    }
    return;
  }
  // Without pidfds: ask every 50 ms whether the process is still there.
  const struct timespec step = {0, 50 * 1000 * 1000};
  while (::kill(pid, 0) == 0 || errno == EPERM) ::nanosleep(&step, nullptr);
}

void CPosixPlatform::ScheduleRemoval(const std::vector<std::string>& paths) {
  if (m_enginePid <= 0) {
    for (const std::string& p : paths) RemovePath(p.c_str());
    return;
  }
  // A detached process, child of nobody we know, waits for the engine and then removes the
  // items; the launcher itself returns at once.
  const pid_t child = ::fork();
  if (child < 0) return;  // clean-up failures are silent
  if (child == 0) {
    ::setsid();
    const pid_t cleaner = ::fork();
    if (cleaner != 0) ::_exit(0);
    const int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      ::dup2(devnull, 0);
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
      if (devnull > 2) ::close(devnull);
    }
    if (::chdir("/") != 0) {
      // Nothing to do about it; the removals use full paths.
    }
    WaitForProcessEnd(m_enginePid, m_enginePidFd);
    for (const std::string& p : paths) RemovePath(p.c_str());
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

bool CPosixPlatform::GetUserSid(std::string* sid) {
  // The usual security identifier form of a Unix user id.
  *sid = "S-1-22-1-" + std::to_string(static_cast<unsigned long>(::getuid()));
  return true;
}

EStartResult CPosixPlatform::StartProcess(const CEngineCommand& command,
                                          std::unique_ptr<CEngineProcess>* process) {
  if (::chmod(command.strEnginePath.c_str(), 0700) != 0) return EStartResult::kFailed;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(command.strEnginePath.c_str()));
  for (const std::string& a : command.vArguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, command.strEnginePath.c_str(), nullptr, nullptr, argv.data(), environ) !=
      0) {
    return EStartResult::kFailed;
  }
  if (m_enginePidFd >= 0) ::close(m_enginePidFd);
  m_enginePid = pid;
  m_enginePidFd = OpenPidFd(pid);  // while unreaped, the pid cannot name another process
  *process = std::make_unique<CPosixProcess>(pid);
  return EStartResult::kStarted;
}

void CPosixPlatform::ShowDebugBox(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

void CPosixPlatform::ShowErrorBox(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

void CPosixPlatform::Pause(unsigned milliseconds) {
  struct timespec left = {static_cast<time_t>(milliseconds / 1000),
                          static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace vgsetup
