// nxalarm-db ingest: raises the alarms of a file or standard input, one JSON
// object a line, committing them in batches (a batch's size, or 50 ms after
// its first line, whichever comes first). A bad line is reported with its
// number and skipped; the others are raised.
#include "tools/nxalarm_db_ingest.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "nxmp/mis.h"
#include "tools/heap_pages.h"
#include "tools/nxalarm_db_ingest_line.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kBatchWait = std::chrono::milliseconds(50);
// Room for the writer's page cache (64 MiB) and a batch's alarms.
constexpr std::size_t kHeapStep = 128u << 20;
constexpr auto kProgressEvery = std::chrono::milliseconds(200);
// Longer lines are refused: a text of the API's bound, escaped, fits.
constexpr std::size_t kMaxLine = 64u << 20;

int ingest_usage() {
  std::fprintf(stderr,
               "usage: nxalarm-db [--db LOCATION] ingest [FILE|-] [--batch N]  (N: 5000)\n"
               "  one alarm a line: {\"log\": \"AlarmLog\", \"type\": \"communicationsAlarm\",\n"
               "    \"severity\": \"major\", \"moi\": \"/systemId=name:\\\"a\\\"\", \"moc\": \"link\",\n"
               "    \"cause\": 3, \"text\": \"link down\", \"eventTime\": \"2024-05-01 13:45:00\"}\n"
               "  (text and eventTime may be left out; a number log is a whole number)\n");
  return 2;
}

// An open input, closed on leaving unless it is standard input.
class Input {
 public:
  explicit Input(int fd) : fd_(fd) {}
  ~Input() {
    if (fd_ > STDIN_FILENO) ::close(fd_);
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Lines of a descriptor, read as they come: next() waits at most until a
// deadline, so a batch is committed on time while input trickles in.
class LineReader {
 public:
  enum class Got { kLine, kTooLong, kTimeout, kEnd, kError };
  explicit LineReader(int fd) : fd_(fd) {}

  Got next(std::string& line, Clock::time_point deadline) {
    for (;;) {
      const std::size_t nl = buf_.find('\n', scan_);
      if (nl != std::string::npos) {
        const bool too_long = skipping_;
        skipping_ = false;
        if (!too_long) line.assign(buf_, start_, nl - start_);
        // Lines are taken from the front by moving start_; the bytes before
        // it are dropped only once per read (erasing each line moved the
        // rest of the buffer for every line).
        start_ = scan_ = nl + 1;
        if (too_long) return Got::kTooLong;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return Got::kLine;
      }
      buf_.erase(0, start_);
      start_ = 0;
      scan_ = buf_.size();
      if (buf_.size() > kMaxLine) {
        // The rest of the line is read and dropped.
        skipping_ = true;
        buf_.clear();
        scan_ = 0;
      }
      if (eof_) {
        if (skipping_) {
          skipping_ = false;
          return Got::kTooLong;
        }
        if (buf_.empty()) return Got::kEnd;
        line.swap(buf_);
        buf_.clear();
        scan_ = 0;
        return Got::kLine;
      }
      if (deadline != Clock::time_point::max()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd_, POLLIN, 0};
        const int ready = left.count() <= 0 ? 0 : ::poll(&p, 1, static_cast<int>(left.count()) + 1);
        if (ready == 0) return Got::kTimeout;
        if (ready < 0 && errno != EINTR) return Got::kError;
        if (ready < 0) continue;
      }
      char chunk[1 << 16];
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n < 0) {
        if (errno == EINTR) continue;
        return Got::kError;
      }
      if (n == 0) {
        eof_ = true;
        continue;
      }
      buf_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  std::string buf_;
  std::size_t start_ = 0;  // the next line begins here
  std::size_t scan_ = 0;   // buf_ holds no newline from start_ to this
  bool eof_ = false;
  bool skipping_ = false;
};

struct Counts {
  long read = 0, raised = 0, skipped = 0;
};

// The lines of the batch under way, in order: an alarm to raise, or why the
// line is skipped (reported in line order once the batch is committed).
class Ingest {
 public:
  Ingest(std::size_t batch, bool progress) : batch_size_(batch), progress_(progress) {
    batch_.reserve(batch);
  }

  void add(long line_number, nxmp_mis::AlarmNotification n) {
    start_line();
    batch_.push_back(std::move(n));
    lines_.push_back({line_number, std::string()});
  }
  void refuse(long line_number, std::string why) {
    start_line();
    lines_.push_back({line_number, std::move(why)});
  }
  void read_one() { ++counts_.read; }
  bool full() const { return batch_.size() >= batch_size_; }
  // When the batch must be committed, even if not full.
  Clock::time_point due() const { return lines_.empty() ? Clock::time_point::max() : first_ + kBatchWait; }

  // False when the database failed. A batch committed in parts (another
  // writer waited meanwhile) keeps the parts before the failure: their lines
  // are reported, the rest named in error.
  bool flush(std::string& error) {
    if (lines_.empty()) return true;
    nxmp_mis::BatchRaiseResult r;
    if (!batch_.empty()) r = nxmp_mis::raise_alarms(batch_);
    const bool failed = !batch_.empty() && !r.ok;
    long lost_from = lines_.front().number;
    std::size_t k = 0;
    for (const Line& line : lines_) {
      const nxmp_mis::RaiseResult* result = line.refused.empty() ? &r.results[k++] : nullptr;
      if (failed && result != nullptr && !result->ok && result->error == r.error) {
        lost_from = line.number;
        break;
      }
      if (result == nullptr) {
        skip(line.number, line.refused);
      } else if (result->ok) {
        ++counts_.raised;
      } else {
        skip(line.number, result->error);
      }
    }
    if (failed) {
      error = "lines " + std::to_string(lost_from) + " to " + std::to_string(lines_.back().number) +
              " not raised: " + r.error;
      return false;
    }
    batch_.clear();
    lines_.clear();
    return true;
  }

  void show_progress(Clock::time_point start) {
    if (!progress_) return;
    const auto now = Clock::now();
    if (now < next_progress_) return;
    next_progress_ = now + kProgressEvery;
    const double s = std::chrono::duration<double>(now - start).count();
    std::fprintf(stderr, "\r\033[K%ld read, %ld raised, %ld skipped, %.0f alarms/s", counts_.read,
                 counts_.raised, counts_.skipped, s > 0 ? counts_.raised / s : 0.0);
    std::fflush(stderr);
  }
  void end_progress() {
    if (progress_) std::fprintf(stderr, "\r\033[K");
  }
  const Counts& counts() const { return counts_; }

 private:
  struct Line {
    long number;
    std::string refused;  // empty: the line's alarm is in batch_
  };
  void start_line() {
    if (lines_.empty()) first_ = Clock::now();
  }
  void skip(long line_number, const std::string& why) {
    ++counts_.skipped;
    std::fprintf(stderr, "%snxalarm-db: ingest: line %ld: %s\n", progress_ ? "\r\033[K" : "", line_number,
                 why.c_str());
  }

  std::size_t batch_size_;
  bool progress_;
  std::vector<nxmp_mis::AlarmNotification> batch_;
  std::vector<Line> lines_;
  Clock::time_point first_;
  Clock::time_point next_progress_;
  Counts counts_;
};

bool blank(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

}  // namespace

int ingest_command(const std::vector<std::string>& args, const std::string* location) {
  std::string path = "-";
  bool have_path = false;
  long batch = 5000;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--batch" && i + 1 < args.size()) {
      char* end = nullptr;
      batch = std::strtol(args[++i].c_str(), &end, 10);
      if (!end || *end || batch < 1 || batch > 100000) return ingest_usage();
    } else if (!have_path && (args[i] == "-" || args[i].rfind("--", 0) != 0)) {
      path = args[i];
      have_path = true;
    } else {
      return ingest_usage();
    }
  }
  int fd = STDIN_FILENO;
  if (path != "-") {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      std::fprintf(stderr, "nxalarm-db: ingest: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
      return 1;
    }
  }
  Input input(fd);
  // Not a failure when refused: the ingest is then slower, not wrong.
  std::string refused;
  nxtools::heap_on_huge_pages(kHeapStep, refused);
  if (location) setenv("NX_ALARM_DB", location->c_str(), 1);

  const Clock::time_point start = Clock::now();
  Ingest ingest(static_cast<std::size_t>(batch), isatty(STDERR_FILENO) == 1);
  LineReader reader(input.fd());
  std::string line, error;
  long line_number = 0;
  bool failed = false;
  for (bool more = true; more && !failed;) {
    switch (reader.next(line, ingest.due())) {
      case LineReader::Got::kLine: {
        ++line_number;
        if (blank(line)) break;
        ingest.read_one();
        nxmp_mis::AlarmNotification n;
        std::string why;
        if (parse_alarm_line(line, n, why)) {
          ingest.add(line_number, std::move(n));
        } else {
          ingest.refuse(line_number, why);
        }
        break;
      }
      case LineReader::Got::kTooLong:
        ++line_number;
        ingest.read_one();
        ingest.refuse(line_number, "longer than " + std::to_string(kMaxLine) + " bytes");
        break;
      case LineReader::Got::kTimeout:
        break;
      case LineReader::Got::kEnd:
        more = false;
        break;
      case LineReader::Got::kError:
        error = "reading " + path + ": " + std::strerror(errno);
        failed = true;
        break;
    }
    if (!failed && (ingest.full() || Clock::now() >= ingest.due() || !more) && !ingest.flush(error)) {
      failed = true;
    }
    ingest.show_progress(start);
  }
  ingest.end_progress();
  if (failed) std::fprintf(stderr, "nxalarm-db: ingest: %s\n", error.c_str());
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const Counts& c = ingest.counts();
  std::printf("read %ld, raised %ld, skipped %ld, %.2f s, %.0f alarms/s\n", c.read, c.raised, c.skipped,
              seconds, seconds > 0 ? c.raised / seconds : 0.0);
  std::fflush(stdout);
  nxmp_mis::shutdown();
  return failed || c.skipped > 0 ? 1 : 0;
}
