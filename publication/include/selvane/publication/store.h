// Publishing one picture in a write directory for the readers on the network,
// without any widget: the control screen calls it for every stored capture,
// and any other publisher of the same files may.
//
// One store, in this order:
//   1. cap.ctl gets state 1 (writing), its other fields unchanged;
//   2. the picture is written to a temporary file in the same directory
//      (".selvane-<12 random letters>.tmp": hidden, no image extension,
//      never a slot name, made with O_EXCL and written through its own
//      descriptor, so a link put in its place is never written through);
//   3. that file is renamed over cap<s>.bmp / cap<s>.jpg, s = the record's
//      next slot, so a reader opens either the whole old picture or the whole
//      new one, never one being written;
//   4. cap.ctl gets the final record (state 0 or 2, the other slot next, slot
//      s written with its text);
//   5. the CAPDIR marker flips.
// No open in the directory follows a link: a cap.ctl that is a link fails
// the store (ELOOP), a CAPDIR that is one is removed (never its target).
// When step 1 to 4 fails, cap.ctl is put back byte for byte as it was, the
// temporary file is removed, the marker stays, and the result says why. A
// missing write directory is never created (it may be an unmounted share).
//
// Threads: none of its own; any thread, one store per directory at a time.
#pragma once
#include <QString>
#include <QStringView>

#include <functional>
#include <string>
#include <string_view>

namespace selvane::publication {

enum class Format { Bmp, Jpeg };  // state 0 / ".bmp", state 2 / ".jpg"

// What writing the picture came to: errno when it did not succeed.
struct WriteOutcome {
  bool ok = false;
  int error = 0;
};

// Writes the complete picture to `path`, which names the empty regular file
// the store has just made by its descriptor ("/proc/self/fd/<n>"): opening it
// opens that file whatever its name in the directory now is. Return ok only
// when every byte is on the file. Better not open it with O_TRUNC: ext4 then
// forces its blocks out when it is closed.
using PictureWriter = std::function<WriteOutcome(const std::string& path)>;

struct StoreOptions {
  // fsync the picture before the rename. Off: see docs/publication.md.
  bool flushBeforeRename = false;
};

enum class Failure { None, Directory, Record, TemporaryFile, Picture, Replace, FinalRecord };

struct StoreResult {
  bool published = false;
  Failure failure = Failure::None;
  int slot = -1;          // the slot written, or that would have been
  std::string path;       // published: the slot file; failed: the directory, cap.ctl or the slot file
  int error = 0;          // errno of the failing step
  std::string errorText;  // the system's text for it
  // The marker flip is best effort: a marker that could not flip, or a CAPDIR
  // that is not a plain directory (left alone), is described here.
  std::string markerProblem;
  // Something done to the marker worth one log line (a link removed).
  std::string markerNote;
};

// `writeDir` ends in '/'; `slotText` goes into cap.ctl (CP932, 20 bytes).
StoreResult storeImage(const QString& writeDir, QStringView slotText, Format format, const PictureWriter& write,
                       const StoreOptions& options = {});

// A new temporary file name for a write directory, and whether a name is one.
std::string temporaryFileName();
bool isTemporaryFileName(std::string_view name);

// Copies the regular file `from` to `to` (created, or overwritten and cut to length), whole.
// Anything that is not a regular file (a FIFO, a device) is refused with
// EINVAL without blocking.
WriteOutcome copyRegularFile(const std::string& from, const std::string& to);

// "<path>: <system text>" for a log line.
std::string describe(const StoreResult& result);

}  // namespace selvane::publication
