#include "vxrom/provision/line_host.h"

#include <chrono>

#include "platform/stop.h"
#include "platform/text.h"

using namespace line;
using namespace store;

namespace {

class SystemHost : public LineHost {
 public:
  bool Spawn(const std::vector<std::wstring>& args, size_t* worker, std::string* reason) override {
    platform::ChildProcess child;
    std::wstring why;
    if (!platform::SpawnChild(args[0], args, &child, &why)) {
      *reason = platform::Utf8FromWide(why);
      return false;
    }
    *worker = children_.size();
    children_.push_back(child);
    return true;
  }
  RunProcess Process(size_t worker) override {
    const uint64_t id = children_[worker].id;
    return {id, platform::ProcessStartTime(id)};
  }
  platform::ChildOutput Read(size_t worker, std::string* text) override {
    return platform::ReadChild(&children_[worker], text);
  }
  void Wait(uint32_t milliseconds) override {
    std::vector<platform::ChildProcess*> open;
    for (platform::ChildProcess& child : children_)
      if (child.pipe != -1) open.push_back(&child);
    platform::WaitForChildren(open, milliseconds);
  }
  void Kill(size_t worker) override { platform::KillChild(&children_[worker]); }
  int Reap(size_t worker, bool* signalled) override {
    return platform::ReapChild(&children_[worker], signalled);
  }
  uint64_t NowMs() override {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
  bool StopRequested() override { return platform::StopRequested(); }

 private:
  std::vector<platform::ChildProcess> children_;
};

}  // namespace

std::unique_ptr<LineHost> SystemLineHost() { return std::unique_ptr<LineHost>(new SystemHost); }
