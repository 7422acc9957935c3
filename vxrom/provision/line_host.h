// What a provision run needs of its host, handed in so that the run's
// logic can be tried in process: worker processes, a clock, requests to
// stop.  SystemLineHost is the real one.
#ifndef VXROM_LINE_HOST_H_
#define VXROM_LINE_HOST_H_

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"
#include "store/journal.h"

/// Worker processes, a clock and requests to stop.
class LineHost {
 public:
  virtual ~LineHost() = default;
  /// Starts a worker with args (args[0] the program).  @return false with
  /// *reason; else the worker's number in *worker.
  virtual bool Spawn(const std::vector<std::wstring>& args, size_t* worker,
                     std::string* reason) = 0;
  /// The worker's process, to note in the journal.
  virtual store::RunProcess Process(size_t worker) = 0;
  /// Appends what the worker wrote so far; kEnd once its output closed.
  virtual platform::ChildOutput Read(size_t worker, std::string* text) = 0;
  /// Waits up to milliseconds for output of any running worker.
  virtual void Wait(uint32_t milliseconds) = 0;
  /// Ends the worker at once.
  virtual void Kill(size_t worker) = 0;
  /// Collects the worker once its output ended.  @return its exit code;
  /// *signalled when it was killed instead.
  virtual int Reap(size_t worker, bool* signalled) = 0;
  /// Milliseconds of a clock that only goes forward.
  virtual uint64_t NowMs() = 0;
  /// True once a request to stop was held back.
  virtual bool StopRequested() = 0;
};

/// The host's own processes, clock and stop requests.
std::unique_ptr<LineHost> SystemLineHost();

#endif  // VXROM_LINE_HOST_H_
