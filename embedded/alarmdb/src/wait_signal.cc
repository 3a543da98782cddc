#include "wait_signal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace nxdb {
namespace {

bool lock_byte(int fd, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
  int rc;
  do {
    rc = fcntl(fd, F_OFD_SETLK, &lock);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

}  // namespace

WaitSignal::WaitSignal(std::string path) : path_(std::move(path)) {
  if (!path_.empty()) path_ += "-wait";
}

WaitSignal::~WaitSignal() {
  if (fd_ >= 0) ::close(fd_);  // drops its locks too
}

bool WaitSignal::open() {
  if (fd_ >= 0) return true;
  if (tried_ || path_.empty()) return false;
  tried_ = true;
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  // Another user's file: shared locks need only reading.
  if (fd_ < 0) fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  return fd_ >= 0;
}

void WaitSignal::raise() {
  std::lock_guard<std::mutex> lock(mu_);
  if (!raised_ && open()) raised_ = lock_byte(fd_, F_RDLCK);
}

void WaitSignal::drop() {
  std::lock_guard<std::mutex> lock(mu_);
  if (raised_) lock_byte(fd_, F_UNLCK);
  raised_ = false;
}

bool WaitSignal::others_wait() {
  std::lock_guard<std::mutex> lock(mu_);
  if (!open()) return false;
  // A write lock would conflict with any other description's shared lock.
  struct flock probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = 0;
  probe.l_len = 1;
  if (fcntl(fd_, F_OFD_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

}  // namespace nxdb
