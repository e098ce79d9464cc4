// Data file writer: an array as a ".dmna" descriptor (header lines, "*")
// followed by text data, or with a separate ".dmnt"/".dmnb" data file.
// Files are written under temporary names, written through to the disk and
// renamed into place only when everything is written, so a failed or
// interrupted write never leaves a truncated result and the earlier files
// of the same names survive. A pending signal (MsgSignal) stops the writer
// between blocks of elements.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "ary/ary.h"
#include "dmn/dmn.h"
#include "dmn/dmn_internal.h"
#include "msg/msg.h"
#include "txt/txt.h"

namespace {

using dmn::Field;
using dmn::kModule;

int Fail(const char* site, const char* format, const char* arg) __attribute__((format(printf, 2, 0)));
int Fail(const char* site, const char* format, const char* arg) {
  return MSG_FAIL(MsgTag(kModule, "DmnWrite", site), format, arg);
}

// Work between two looks at MsgSignal: elements, and bytes of a block
// written whole.
constexpr long kBlockElements = 4096;
constexpr size_t kBlockBytes = size_t{1} << 20;

// The n-th spare name beside name: name, ".~", n and the suffix.
std::string SpareName(const std::string& name, int n, const char* suffix) {
  return name + ".~" + std::to_string(n) + suffix;
}

// A file that becomes visible under its final name only through Commit.
class PendingFile {
 public:
  explicit PendingFile(std::string finalName) : final_(std::move(finalName)) {}
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() {
    if (fp_) std::fclose(fp_);
    if (!temp_.empty()) std::remove(temp_.c_str());
  }

  // Creates a temporary file next to the final name; exclusive creation
  // keeps an unrelated file that happens to have the same name untouched.
  bool Open() {
    for (int n = 0; n < 100; n++) {
      std::string temp = SpareName(final_, n, ".tmp");
      errno = 0;
      fp_ = std::fopen(temp.c_str(), "wbx");
      if (fp_) {
        temp_ = temp;
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  // Writes the file through to the disk and closes it; false when a write
  // failed. Only a file that is on the disk is renamed into place, or a
  // crash could leave an empty result under the final name.
  bool Close() {
    if (!fp_) return true;
    bool ok = std::fflush(fp_) == 0 && !std::ferror(fp_) && ::fsync(::fileno(fp_)) == 0;
    ok = (std::fclose(fp_) == 0) && ok;
    fp_ = nullptr;
    return ok;
  }

  bool Commit() {
    if (!Close() || std::rename(temp_.c_str(), final_.c_str()) != 0) return false;
    temp_.clear();
    return true;
  }

  std::FILE* fp() const { return fp_; }
  const std::string& name() const { return final_; }

 private:
  std::string final_;
  std::string temp_;
  std::FILE* fp_ = nullptr;
};

// A second name for the regular file name (a hard link, or else a copy), so
// that it can come back after it was replaced. Returns that name, or "" when
// there is no such file; *ok is false when no second name could be made.
std::string KeepEarlier(const std::string& name, bool* ok) {
  namespace fs = std::filesystem;
  std::error_code ec;
  *ok = true;
  if (!fs::is_regular_file(name, ec)) return "";
  for (int n = 0; n < 100; n++) {
    std::string keep = SpareName(name, n, ".old");
    fs::create_hard_link(name, keep, ec);
    if (ec && ec != std::errc::file_exists) fs::copy_file(name, keep, ec);
    if (!ec) return keep;
    if (ec != std::errc::file_exists) break;
  }
  *ok = false;
  return "";
}

// Puts the closed data file and then its closed descriptor in place. When
// the descriptor cannot follow, the earlier data file comes back (or the new
// one goes), so a failure leaves the earlier pair, never new data beside an
// earlier descriptor. Returns 0, 1 when the data file failed, 2 when the
// descriptor did.
int CommitPair(PendingFile& data, PendingFile& descriptor) {
  bool kept = false;
  const std::string keep = KeepEarlier(data.name(), &kept);
  if (!kept || !data.Commit()) {
    if (!keep.empty()) std::remove(keep.c_str());
    return 1;
  }
  if (descriptor.Commit()) {
    if (!keep.empty()) std::remove(keep.c_str());
    return 0;
  }
  if (keep.empty())
    std::remove(data.name().c_str());
  else
    std::rename(keep.c_str(), data.name().c_str());  // on failure the earlier data stay under keep
  return 2;
}

// Appends value printed with the printf format of one value; false when
// printf fails (nothing appended then).
template <class T>
bool AppendValue(std::string& out, const char* format, T value) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, format, value);
  if (n < 0) return false;
  if (n < static_cast<int>(sizeof buf)) {
    out.append(buf, static_cast<size_t>(n));
    return true;
  }
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(n) + 1);
  const bool ok = std::snprintf(&out[at], static_cast<size_t>(n) + 1, format, value) == n;
  out.resize(ok ? at + static_cast<size_t>(n) : at);
  return ok;
}

// How appending a field ended.
enum class Append { kDone, kNotFinite, kFailed };

// Appends one field of the element at p: a tab and the value. Floats and
// doubles are scaled by the header factor times the field's factor;
// kNotFinite when that leaves no finite number, since a data file never
// holds nan or inf; kFailed when printf fails.
Append AppendField(std::string& out, const char* p, const Field& field, float fact) {
  const DmnFormat& f = *field.format;
  const char* src = p + field.position;
  out += '\t';
  bool ok = true;
  switch (f.type) {
    case 1: {
      unsigned char c;
      std::memcpy(&c, src, sizeof c);
      ok = AppendValue(out, f.oform, static_cast<int>(c));
      break;
    }
    case 2: {
      short s;
      std::memcpy(&s, src, sizeof s);
      ok = AppendValue(out, f.oform, static_cast<int>(s));
      break;
    }
    case 3: {
      int i;
      std::memcpy(&i, src, sizeof i);
      ok = AppendValue(out, f.oform, i);
      break;
    }
    case 4: {
      float v;
      std::memcpy(&v, src, sizeof v);
      v = v * fact * f.fact;
      if (!std::isfinite(v)) return Append::kNotFinite;
      ok = AppendValue(out, f.oform, static_cast<double>(v));
      break;
    }
    default: {
      double d;
      std::memcpy(&d, src, sizeof d);
      d = d * fact * f.fact;
      if (!std::isfinite(d)) return Append::kNotFinite;
      ok = AppendValue(out, f.oform, d);
      break;
    }
  }
  return ok ? Append::kDone : Append::kFailed;
}

// Elements of the view, or 0 when an index range is empty.
long Elements(const AryDesc* view) {
  long n = 1;
  for (int d = 0; d < view->numdm; d++) {
    const long extent = static_cast<long>(view->bound[d].upper) - view->bound[d].lower + 1;
    if (extent < 1) return 0;
    n *= extent;
  }
  return n;
}

// Calls visit(element) for count elements of the view from the element
// number first on, in index order with the last index running fastest, and
// wrapped(d) whenever index d > 0 passes its upper bound after one of them.
// Returns false when an element cannot be located, or when a signal is
// pending (looked at between blocks of elements).
template <class Visit, class Wrap>
bool VisitElements(AryDesc* view, long first, long count, Visit visit, Wrap wrapped) {
  int idx[AryMaxDim] = {};
  for (int d = view->numdm - 1; d >= 0; d--) {
    const AryBound& b = view->bound[d];
    const long extent = static_cast<long>(b.upper) - b.lower + 1;
    idx[d] = b.lower + static_cast<int>(extent > 0 ? first % extent : 0);
    if (extent > 0) first /= extent;
  }
  for (long n = 1; n <= count; n++) {
    if (n % kBlockElements == 0 && MsgSignal) return false;
    void* p = AryPtr(view, idx[0], idx[1], idx[2], idx[3], idx[4]);
    if (!p) return false;
    if (!visit(static_cast<const char*>(p))) return false;
    for (int d = view->numdm - 1; d >= 0; d--) {
      if (++idx[d] <= view->bound[d].upper) break;
      idx[d] = view->bound[d].lower;
      if (d > 0) wrapped(d);
    }
  }
  return true;
}

// Elements a thread formats at a time: enough to share the work, few
// enough to keep the text in memory small (some 14 bytes each).
constexpr long kShare = long{1} << 15;

// How writing the text data block ended.
enum class TextBlock { kWritten, kStopped, kNotFinite, kFailed };

// Text data block: per element the printed fields, LF after an element of
// more than one field, LF whenever an index other than the first wraps.
// Up to threads threads format consecutive runs of elements side by side;
// the runs are written in element order, so the bytes are the same for
// every number of threads. kStopped: an element could not be located, or
// a signal is pending; kFailed: printf failed, or there was no memory for
// the text.
TextBlock WriteTextBlock(std::FILE* fp, AryDesc* view, const std::vector<Field>& fields,
                         float fact, int threads) {
  long total = Elements(view);
  // An empty index range fails on its first element, with the message.
  if (total < 1) total = 1, threads = 1;
  threads = static_cast<int>(std::clamp<long>(threads, 1, (total + kShare - 1) / kShare));
  std::vector<std::string> text(threads);
  std::vector<char> done(threads);
  std::vector<Append> appended(threads);
  for (long first = 0; first < total;) {
    const long n = std::min(total - first, threads * kShare);
    auto format = [&](int t) {
      const long from = first + n * t / threads, to = first + n * (t + 1) / threads;
      std::string& out = text[t];
      out.clear();
      appended[t] = Append::kDone;
      try {
        done[t] = VisitElements(
            view, from, to - from,
            [&](const char* p) {
              for (const Field& f : fields)
                if ((appended[t] = AppendField(out, p, f, fact)) != Append::kDone) return false;
              if (fields.size() > 1) out += '\n';
              return true;
            },
            [&](int) { out += '\n'; });
      } catch (const std::bad_alloc&) {
        done[t] = false;
        appended[t] = Append::kFailed;
      }
    };
    std::vector<std::thread> pool;
    int t = 1;
    try {
      for (; t < threads; t++) pool.emplace_back(format, t);
    } catch (const std::system_error&) {
      // fewer threads: this one formats the rest
    }
    format(0);
    for (std::thread& worker : pool) worker.join();
    for (; t < threads; t++) format(t);
    for (int k = 0; k < threads; k++) {
      if (appended[k] == Append::kNotFinite) return TextBlock::kNotFinite;
      if (appended[k] == Append::kFailed) return TextBlock::kFailed;
      if (!done[k]) return TextBlock::kStopped;
      std::fwrite(text[k].data(), 1, text[k].size(), fp);
    }
    first += n;
  }
  return TextBlock::kWritten;
}

// The failure of a text data block that did not end kWritten: nothing
// more to say after a signal.
int TextFailed(TextBlock ended, const char* name) {
  if (ended == TextBlock::kNotFinite)
    return Fail("10", "scaled value beyond the number range writing to file %s! (%s)\n", name);
  if (ended == TextBlock::kFailed) return Fail("6", "can't write data to file %s! (%s)\n", name);
  return MsgSignal ? -1 : Fail("8", "index error writing to file %s! (%s)\n", name);
}

}  // namespace

int DmnWrite(const char* name, const char* header, AryDesc* pa, int threads) {
  if (!pa || !pa->data) return 0;
  if (!name) name = "";
  TxtStr hdr;
  TxtCpy(&hdr, header);
  struct HeaderGuard {
    TxtStr* t;
    ~HeaderGuard() { TxtClr(t); }
  } guard{&hdr};

  std::string sequ = dmn::FirstToken(hdr.s, "sequ");
  std::string mode = dmn::FirstToken(hdr.s, "mode");
  std::string data = dmn::FirstToken(hdr.s, "data");
  if (data == "*") data.clear();
  std::string form = dmn::FirstToken(hdr.s, "form");
  float fact = 1.0f;
  std::vector<std::string> factTokens;
  if (dmn::Tokens(hdr.s, "fact", &factTokens) && !factTokens.empty() &&
      std::sscanf(factTokens[0].c_str(), "%f", &fact) != 1)
    fact = 1.0f;
  if (!(fact > 0)) fact = 1.0f;

  AryDesc view = *pa;
  AryDesc range = *pa;
  if (!sequ.empty() && AryDefAry(pa, &view, &range, sequ.c_str()) < 0)
    return Fail("1", "can't get subarray with sequence \"%s\"! (%s)\n", sequ.c_str());

  if (form.empty()) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "A%%[%d]13.5e", view.elmsz / 4);
    form = buf;
  }
  std::vector<char> decoded(form.begin(), form.end());
  decoded.push_back('\0');
  DmnDecodeEscapes(decoded.data());
  form = decoded.data();
  int elmsz = view.elmsz;
  if (AnaForm(form.c_str(), &elmsz) < 0) return Fail("9", "invalid format %s! (%s)\n", form.c_str());

  std::vector<Field> all = dmn::Fields(false);
  std::vector<Field> printed = dmn::Fields(true);
  // A file of elements without a value would pass for a result.
  if (printed.empty())
    return Fail("11", "format %s prints no value (width 0)! (%s)\n", form.c_str());
  int size = 0;
  for (const Field& f : printed) size += f.format->size;
  bool allPrinted = printed.size() == all.size();
  if (!allPrinted) {
    std::string shown;
    // A field's factor stays with it, or the file would read back unscaled.
    for (const Field& f : printed) {
      shown += f.format->name;
      if (f.format->fact != 1.0f) {
        char factor[48];
        std::snprintf(factor, sizeof factor, "%%(*%.9g)", static_cast<double>(f.format->fact));
        shown += factor + std::string(f.format->oform + 1);
      } else {
        shown += f.format->oform;
      }
    }
    DmnSetValue(&hdr, "form", shown.c_str());
  }
  bool binary = mode.empty() || mode == "binary";

  if (hdr.l > 0 && hdr.s[hdr.l - 1] != '\n') TxtCat(&hdr, "\n");
  std::string shape = "dims\t";
  shape += std::to_string(range.numdm);
  shape += "\nsize\t";
  shape += std::to_string(size);
  for (int upper = 0; upper < 2; upper++) {
    shape += upper ? "\nhghb" : "\nlowb";
    for (int d = 0; d < range.numdm; d++) {
      shape += '\t';
      shape += std::to_string(upper ? range.bound[d].upper : range.bound[d].lower);
    }
  }
  shape += "\n";
  TxtCat(&hdr, shape.c_str());

  // The log and the standard output take text in the same file only.
  bool toLog = std::strncmp(name, "LOG", 3) == 0;
  bool toStdout = std::strncmp(name, "stdout", 6) == 0;
  if (toLog || toStdout) {
    if (binary || !data.empty()) return 1;
    std::FILE* fp = toLog ? MsgLog : stdout;
    if (!fp) return 1;
    if (toLog) {
      std::fprintf(fp, "%s", name + 3);
    } else {
      if (std::fwrite(hdr.s, 1, static_cast<size_t>(hdr.l), fp) != static_cast<size_t>(hdr.l))
        return Fail("3", "can't write header to file %s! (%s)\n", "stdout");
      std::fputs("*\n", fp);
    }
    const TextBlock written = WriteTextBlock(fp, &view, printed, fact, threads);
    if (written != TextBlock::kWritten) return TextFailed(written, name);
    std::fputc('\n', fp);
    return 1;
  }

  std::string base = dmn::SlashName(name);
  PendingFile descriptor(base + ".dmna");
  if (base.empty() || !descriptor.Open())
    return Fail("2", "can't open descriptor file %s! (%s)\n", descriptor.name().c_str());
  if (std::fwrite(hdr.s, 1, static_cast<size_t>(hdr.l), descriptor.fp()) != static_cast<size_t>(hdr.l))
    return Fail("3", "can't write header to file %s! (%s)\n", descriptor.name().c_str());
  std::fputs("*\n", descriptor.fp());

  bool separate = binary || !data.empty();
  std::string dataName;
  if (!data.empty())
    dataName = dmn::DirPart(base) + data + (binary ? ".dmnb" : ".dmnt");
  else
    dataName = base + ".dmnb";
  PendingFile dataFile(dataName);
  if (separate && !dataFile.Open())
    return Fail("4", "can't open data file %s! (%s)\n", dataName.c_str());
  PendingFile& out = separate ? dataFile : descriptor;
  std::FILE* fp = out.fp();
  const char* outName = out.name().c_str();

  // An interrupted write returns without a message; the temporary files go.
  if (!binary) {
    const TextBlock written = WriteTextBlock(fp, &view, printed, fact, threads);
    if (written != TextBlock::kWritten) return TextFailed(written, outName);
    std::fputs("\n***\n", fp);
    if (std::ferror(fp)) return Fail("6", "can't write data to file %s! (%s)\n", outName);
  } else if (sequ.empty() && allPrinted && pa->flag >= 0) {
    // A created array is one block in storage order: written as it is.
    const char* p = static_cast<const char*>(pa->data);
    for (size_t left = static_cast<size_t>(pa->ttlsz), n; left > 0; left -= n, p += n) {
      if (MsgSignal) return -1;
      n = std::min(left, kBlockBytes);
      if (std::fwrite(p, 1, n, fp) != n) return Fail("7", "can't write data to file %s! (%s)\n", outName);
    }
  } else {
    // Element by element in index order, with the printed fields only, so
    // that "size" in the header describes every element of the file.
    bool written = true;
    bool located = VisitElements(
        &view, 0, std::max(Elements(&view), 1L),
        [&](const char* p) {
          if (allPrinted) {
            written = std::fwrite(p, 1, static_cast<size_t>(view.elmsz), fp) == static_cast<size_t>(view.elmsz);
            return written;
          }
          for (const Field& f : printed) {
            size_t n = static_cast<size_t>(f.format->size);
            written = std::fwrite(p + f.position, 1, n, fp) == n;
            if (!written) return false;
          }
          return true;
        },
        [](int) {});
    if (!written) return Fail("6", "can't write data to file %s! (%s)\n", outName);
    if (!located) return MsgSignal ? -1 : Fail("5", "index error writing to file %s! (%s)\n", outName);
  }

  // On the disk before anything is renamed; a signal until then, too, keeps
  // the earlier files.
  auto dataFailed = [&] {
    return Fail(binary && sequ.empty() ? "7" : "6", "can't write data to file %s! (%s)\n", dataName.c_str());
  };
  auto descriptorFailed = [&] {
    if (separate) return Fail("3", "can't write header to file %s! (%s)\n", descriptor.name().c_str());
    return Fail("6", "can't write data to file %s! (%s)\n", descriptor.name().c_str());
  };
  if (separate && !dataFile.Close()) return dataFailed();
  if (!descriptor.Close()) return descriptorFailed();
  if (MsgSignal) return -1;
  if (!separate) return descriptor.Commit() ? 1 : descriptorFailed();
  switch (CommitPair(dataFile, descriptor)) {
    case 1:
      return dataFailed();
    case 2:
      return descriptorFailed();
  }
  return 1;
}

int DmnWriteText(const char* name, const std::string& text) {
  PendingFile file(name);
  if (!file.Open()) return Fail("10", "can't open file %s! (%s)\n", name);
  if (std::fwrite(text.data(), 1, text.size(), file.fp()) != text.size() || !file.Commit())
    return Fail("11", "can't write data to file %s! (%s)\n", name);
  return 1;
}
